#include "player/gui/clip_dialog.h"

#include <memory>

#include "player/gui/video_player_dlg.h"

namespace player::gui {

bool runClipDialog(QWidget* owner, const ClipSource& source, ClipSettings& settings) {
    auto dlg = std::make_unique<CVideoPlayerDlg>(owner, source.no_video ? 1 : 0, source.path, source.duration,
                                                 source.width, source.height);
    dlg->takeTaskValues(settings);
    dlg->doModal(0);
    if (!dlg->accepted())
        return false;
    settings = dlg->settings();
    return true;
}

}  // namespace player::gui
