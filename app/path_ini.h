#pragma once
// The output folder, kept in dataDir()/path.ini "path" "output_path".

#include <filesystem>

namespace app {

// The stored folder, else documentsDir()/QuorinVideoConverter/ (not created).
std::filesystem::path readOutputPath();
// False when path.ini could not be written.
bool writeOutputPath(const std::filesystem::path& folder);

}  // namespace app
