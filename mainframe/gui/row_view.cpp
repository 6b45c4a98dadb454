#include "mainframe/gui/row_view.h"

#include <QByteArray>

#include "ui/builder.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace mainframe {

namespace {

// The row's markup, read once.
const QByteArray& rowMarkup() {
    static const QByteArray xml = R"(
<ListContainerElement name="converRow" height="64" inset="12,6,12,6" childpadding="10" childvalign="vcenter"
                      bordercolor="#FFEDEFF2" bordersize="1" hotbkcolor="#FFF7F9FC">
  <Control name="video_cover" width="72" height="48" bkcolor="#FFEFF2F6" borderround="4"/>
  <Label name="load_cover" width="1" visible="false"/>
  <VerticalLayout>
    <Label name="video_old_name" height="22" font="1" textcolor="#FF1F2329"/>
    <HorizontalLayout height="20" childpadding="6">
      <Label name="codec_type" width="44" textcolor="#FF6B7280"/>
      <HorizontalLayout name="layVideo" width="80"><Label name="video_resolution" textcolor="#FF6B7280"/></HorizontalLayout>
      <HorizontalLayout name="layAudio" width="80" visible="false"><Label name="audio_bitrate" textcolor="#FF6B7280"/></HorizontalLayout>
      <Label name="video_duration" width="64" textcolor="#FF6B7280"/>
      <Label name="video_size" width="72" textcolor="#FF6B7280"/>
    </HorizontalLayout>
  </VerticalLayout>
  <VerticalLayout width="190">
    <HorizontalLayout height="22">
      <Edit name="edit_new_video_name" enabled="false" textcolor="#FF1F2329"/>
      <Button name="btn_video_rename" width="22" text="✎" textcolor="#FF2D7FF9"/>
    </HorizontalLayout>
    <HorizontalLayout height="20" childpadding="6">
      <Label name="codec_type_new" width="44" textcolor="#FF2D7FF9"/>
      <HorizontalLayout name="layNewVideo" width="80"><Label name="video_resolution_new" textcolor="#FF6B7280"/></HorizontalLayout>
      <HorizontalLayout name="layNewAudio" width="80" visible="false"><Label name="audio_bitrate_new" textcolor="#FF6B7280"/></HorizontalLayout>
      <HorizontalLayout name="layNewDuration1" width="60"><Label name="video_duration_new" textcolor="#FF6B7280"/></HorizontalLayout>
      <HorizontalLayout name="layNewDuration2" width="1" visible="false"><Label name="video_duration_new2"/></HorizontalLayout>
      <HorizontalLayout name="layNewSize" width="60" visible="false"><Label name="video_size_new" textcolor="#FF6B7280"/></HorizontalLayout>
    </HorizontalLayout>
  </VerticalLayout>
  <HorizontalLayout width="250" childpadding="4" childvalign="vcenter">
    <HorizontalLayout name="layResultVideo1" width="60">
      <Label name="recode_success" text="✔" textcolor="#FF16A34A" align="center"/>
      <Button name="btn_recode_fail" text="✘" textcolor="#FFE5484D"/>
    </HorizontalLayout>
    <HorizontalLayout name="layResultVideo2" width="1"/>
    <Button name="btn_play_video" width="40" text="▶" bordercolor="#FFD0D5DD" bordersize="1"/>
    <HorizontalLayout name="layRecodeVideo1" width="56" childpadding="2">
      <Button name="btn_re_recode" width="24" text="⟳" bordercolor="#FFD0D5DD" bordersize="1"/>
      <Label name="pic_recode_progress" width="40" text="0%" align="center" textcolor="#FF2D7FF9"/>
      <Button name="btn_open_video_folder" width="24" text="📂" bordercolor="#FFD0D5DD" bordersize="1"/>
    </HorizontalLayout>
    <HorizontalLayout name="layRecodeVideo2" width="1"/>
    <HorizontalLayout name="layUpVideo1" width="24"><Button name="btn_up_video" text="▲"/></HorizontalLayout>
    <HorizontalLayout name="layUpVideo2" width="1"/>
    <HorizontalLayout name="layDownVideo1" width="24"><Button name="btn_down_video" text="▼"/></HorizontalLayout>
    <HorizontalLayout name="layDownVideo2" width="1"/>
    <HorizontalLayout name="layClipVideo1" width="24"><Button name="btn_clip_video" text="✂"/></HorizontalLayout>
    <HorizontalLayout name="layClipVideo2" width="1"/>
    <HorizontalLayout name="layDelVideo1" width="28">
      <Button name="btn_del_video" text="✕" textcolor="#FF6B7280"/>
      <Button name="btn_stop_recode" text="■" textcolor="#FFE5484D"/>
    </HorizontalLayout>
    <HorizontalLayout name="layDelVideo2" width="1"/>
  </HorizontalLayout>
</ListContainerElement>)";
    return xml;
}

// Parts whose text the model owns (buttons keep the layout's text).
constexpr const char* kTextParts[] = {
    "video_old_name",       "edit_new_video_name", "codec_type",         "codec_type_new",
    "video_resolution",     "audio_bitrate",       "video_duration",     "video_size",
    "video_resolution_new", "audio_bitrate_new",   "video_duration_new", "video_duration_new2",
    "video_size_new",       "pic_recode_progress",
};
constexpr const char* kShownParts[] = {
    "load_cover",
    "layVideo",
    "layAudio",
    "layNewVideo",
    "layNewAudio",
    "layNewDuration1",
    "layNewDuration2",
    "layNewSize",
    "layResultVideo1",
    "layResultVideo2",
    "recode_success",
    "btn_recode_fail",
    "btn_play_video",
    "layRecodeVideo1",
    "layRecodeVideo2",
    "btn_re_recode",
    "pic_recode_progress",
    "btn_open_video_folder",
    "layUpVideo1",
    "layUpVideo2",
    "layDownVideo1",
    "layDownVideo2",
    "layClipVideo1",
    "layClipVideo2",
    "layDelVideo1",
    "layDelVideo2",
    "btn_del_video",
    "btn_stop_recode",
    "btn_video_rename",
};

}  // namespace

ui::Control* makeRowControl(ui::Window* window, RowModel& row) {
    ui::Control* control = ui::Builder(window).buildControl(rowMarkup());
    if (!control)
        return nullptr;
    control->setUserTag(reinterpret_cast<std::uintptr_t>(&row));
    refreshRowControl(control, row);
    return control;
}

void refreshRowControl(ui::Control* control, RowModel& row) {
    for (const char* name : kTextParts) {
        ui::Control* c = control->find(name);
        if (!c)
            continue;
        // Never overwrite what the user is typing.
        if (c->hasFocus() || (c->focusProxy() && c->focusProxy()->hasFocus()))
            continue;
        c->setText(row.text(name));
    }
    for (const char* name : kShownParts) {
        if (ui::Control* c = control->find(name))
            c->setShown(row.visible(name));
    }
    if (ui::Control* edit = control->find("edit_new_video_name"))
        edit->setEnabled(row.enabled("edit_new_video_name"));
    // The progress shows as its text here; the cover is a picture.
    if (ui::Control* cover = control->find("video_cover"); cover && !row.part("video_cover").bkimage.empty())
        cover->setAttribute("bkimage", row.part("video_cover").bkimage);
}

ui::Control* rowControlOf(const ui::Control* control) {
    for (const QWidget* w = control; w; w = w->parentWidget()) {
        const auto* c = qobject_cast<const ui::Control*>(w);
        if (c && c->objectName() == QLatin1String("converRow") && c->userTag() != 0)
            return const_cast<ui::Control*>(c);
    }
    return nullptr;
}

RowModel* rowModelOf(const ui::Control* control) {
    const ui::Control* row = rowControlOf(control);
    return row ? reinterpret_cast<RowModel*>(row->userTag()) : nullptr;
}

}  // namespace mainframe
