#pragma once
// The concat list file and the join command of a merge.

#include "platform/process.h"

#include <filesystem>
#include <string>
#include <vector>

namespace convert {

// Whether the concat list can name `path`: ffmpeg ends a list line at CR or LF and
// has no escape for them, so such a name would add entries of its own.
bool concatListAccepts(const std::string& path);

// One line of the concat list for `path`: "file '<path>'\r\n", with every ' written as
// '\'' so that the concat demuxer reads the path back unchanged. Text stays UTF-8.
// Only for paths that concatListAccepts().
std::string concatListLine(const std::string& path);

// Writes the list file: one line per input, in order, no header. Returns false, and
// writes nothing, when an input is not accepted; false when the file could not be
// written.
bool writeConcatList(const std::filesystem::path& list_path, const std::vector<std::string>& inputs);

// The join: ffmpeg reads the list with the concat demuxer and writes every stream of
// it to `output_path`, reporting to `progress_path`. The display string has the
// system's usual form.
platform::CommandLine buildMergeCommand(const std::string& progress_path, const std::string& list_path,
                                        const std::string& output_path, const std::string& program = {});

}  // namespace convert
