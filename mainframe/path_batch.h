#pragma once
// Paths that come from outside the file dialog (a drop, the command line, a second
// start): folders are opened one level deep, and every file is checked against the
// current mode's patterns, so one batch gives one answer for the refused ones.

#include <string>
#include <string_view>
#include <vector>

namespace mainframe {

struct PathBatch {
    std::vector<std::string> accepted;  // in the order given, folder contents by name
    int refused = 0;                    // files (and empty folders) not accepted
};

// A folder stands for the regular files directly inside it, sorted by name; a path
// that is neither file nor folder is taken as a file (the patterns decide).
PathBatch sortPaths(const std::vector<std::string>& paths, std::string_view patterns);

// The language key and count of the one message a batch gives: "NoSupport" when
// nothing was accepted, "NoSupportCount" when some files were refused, none when
// all were taken.
struct RefusedMessage {
    std::string key;
    int count = 0;
};
RefusedMessage refusedMessage(const PathBatch& batch);

}  // namespace mainframe
