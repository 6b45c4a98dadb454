#pragma once
#include <filesystem>
#include <string_view>

namespace platform {

// Writes `data` to a temporary file beside `file`, flushes it to disk and renames it
// over `file`, so readers see the old or the new content, never half of it. Keeps the
// permission bits of an existing file. False on any failure (the old file stays).
bool writeFileAtomically(const std::filesystem::path& file, std::string_view data);

}  // namespace platform
