#include "app/cd_dat.h"

#include "platform/folders.h"
#include "platform/profile.h"

namespace app::cddat {
namespace {

int readInt(const char* section, const char* key, int def) {
    return platform::getPrivateProfileInt(section, key, def, path());
}

}  // namespace

std::filesystem::path path() {
    return platform::dataDir() / "cd.dat";
}

int openUninstallFeedback() {
    return readInt("Config", "OpenUninstallFeedback", 1);
}
int openTutorial() {
    return readInt("Config", "OpenTutorial", 1);
}
int toolbox() {
    return readInt("Config", "Toolbox", 1);
}
int useCurlPlus() {
    return readInt("Config", "UseCurlPlus", 1);
}
int formatAnalysis() {
    return readInt("Option", "FormatAnalysis", 1);
}

std::string supportFormat(int n) {
    // The filter texts are long; read them whole.
    return platform::getPrivateProfileString("Config", "SupportFormat" + std::to_string(n), "", path(), 4096);
}

}  // namespace app::cddat
