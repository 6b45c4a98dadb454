#pragma once
// Sample content of the online windows for uishot: release notes, and a toolbox
// package (its layout is the server's; this one has a row of each kind).

#include <filesystem>

namespace uishot {

// A version page of release notes, as the update host serves it.
inline constexpr char kSampleReleaseNotes[] = R"([
  {"version": "9.2.0", "date": "2026-11-20", "content": ["Faster conversion of long clips",
   "Subtitles keep their language when converted to MKV", "The queue keeps its order after a restart"]},
  {"version": "9.1.0", "date": "2026-09-02", "content": ["New target: WebM",
   "Fixed: a file name with blanks could not be merged"]}
])";

// Writes the package (a ZIP holding "skin.xml") to `file`.
bool writeSampleToolbox(const std::filesystem::path& file);

}  // namespace uishot
