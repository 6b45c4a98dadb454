#include "app/path_ini.h"

#include "platform/folders.h"
#include "platform/profile.h"

namespace app {
namespace {

std::filesystem::path iniPath() {
    return platform::dataDir() / "path.ini";
}

}  // namespace

std::filesystem::path readOutputPath() {
    // Folders may be longer than the Windows 260 characters here.
    std::string stored = platform::getPrivateProfileString("path", "output_path", "", iniPath(), 4096);
    if (!stored.empty())
        return std::filesystem::path(stored);
    return platform::documentsDir() / "QuorinVideoConverter" / "";
}

bool writeOutputPath(const std::filesystem::path& folder) {
    // Quoted when blanks or quotes at its ends would otherwise be lost on reading.
    std::string text = folder.string();
    auto edge = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    if (!text.empty() && (edge(text.front()) || edge(text.back())))
        text = '"' + text + '"';
    return platform::writePrivateProfileString("path", "output_path", text, iniPath());
}

}  // namespace app
