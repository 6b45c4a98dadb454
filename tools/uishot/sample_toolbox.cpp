#include "sample_toolbox.h"

#include <zip.h>

#include <fstream>
#include <string>

#include "platform/folders.h"

namespace uishot {
namespace {

// One row: the tool's name, what its user data offers, and the button's colours.
std::string row(const char* name, const char* attributes, const char* colours) {
    return std::string(R"(      <ListContainerElement height="48" userdata=")") + attributes + R"(">
        <HorizontalLayout childvalign="vcenter" childpadding="10">
          <Label text=")" +
           name + R"(" textcolor="#FF1F2329"/>
          <Button name="button" width="100" height="28" )" +
           colours + R"( borderround="6"/>
          <Progress name="progress" width="100" height="8" min="0" max="100" bkcolor="#FFE3E6EB"
                    forecolor="#FF2D7FF9" borderround="4" visible="false"/>
        </HorizontalLayout>
      </ListContainerElement>
)";
}

// A title, then a row that opens a page, one of an installed tool and one to download.
std::string layout() {
    const char* plain = R"(bkcolor="#FFF1F3F6" textcolor="#FF1F2329")";
    const char* strong = R"(bkcolor="#FF2D7FF9" textcolor="#FFFFFFFF")";
    return std::string(R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="320,208" roundcorner="3">
  <Font id="0" size="13" default="true"/>
  <Font id="1" size="14" bold="true"/>
  <VerticalLayout bkcolor="#FFFFFFFF" bordercolor="#FFE3E6EB" bordersize="1" inset="14,10,14,10" childpadding="6">
    <Label text="More tools" font="1" height="26" textcolor="#FF1F2329"/>
    <List name="list" userdata="open=Open;get=Download;learn=Learn more;installing=Installing...">
)") + row("Screen Recorder", "url=https://example.invalid/recorder", plain) +
           row("Video Editor", "regedit=QuorinSampleEditor;exe=editor;installer=editor-setup.run", strong) +
           row("Disc Burner", "regedit=QuorinSampleBurner;exe=burner;installer=burner-setup.run", strong) +
           R"(    </List>
  </VerticalLayout>
</Window>
)";
}

}  // namespace

bool writeSampleToolbox(const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    // The editor is "installed": its machine store names an existing folder.
    const auto store = platform::machineConfigDir().parent_path() / "QuorinSampleEditor";
    std::filesystem::create_directories(store, ec);
    std::ofstream(store / "registry.ini")
        << "[Software\\QuorinVideoConverter]\nPath=\"sz:" << file.parent_path().string() << "\"\n";
    int error = 0;
    zip_t* zip = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    const std::string text = layout();
    zip_source_t* source = zip_source_buffer(zip, text.data(), text.size(), 0);
    if (!source || zip_file_add(zip, "skin.xml", source, ZIP_FL_OVERWRITE) < 0) {
        zip_source_free(source);
        zip_discard(zip);
        return false;
    }
    return zip_close(zip) == 0;
}

}  // namespace uishot
