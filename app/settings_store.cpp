#include "app/settings_store.h"

#include "platform/folders.h"
#include "platform/profile.h"

namespace app {

int lcidForLanguage(LanguageId id) {
    switch (id) {
        case LanguageId::Portuguese:
            return 1046;
        case LanguageId::French:
            return 1036;
        case LanguageId::Arabic:
            return 9217;
        case LanguageId::Russian:
            return 1049;
        case LanguageId::Japanese:
            return 1041;
        case LanguageId::ChineseSimplified:
            return 2052;
        case LanguageId::ChineseTraditional:
            return 1028;
        case LanguageId::Swedish:
            return 1053;
        case LanguageId::Indonesian:
            return 1057;
        case LanguageId::German:
            return 1031;
        case LanguageId::Spanish:
            return 1034;
        case LanguageId::Greek:
            return 1032;
        case LanguageId::Turkish:
            return 1055;
        case LanguageId::Hebrew:
            return 1037;
        case LanguageId::Korean:
            return 1042;
        case LanguageId::Italian:
            return 1040;
        case LanguageId::Dutch:
            return 1043;
        case LanguageId::Polish:
            return 1045;
        case LanguageId::Czech:
            return 1029;
        case LanguageId::Romanian:
            return 1048;
        case LanguageId::Hungarian:
            return 12504;
        case LanguageId::Danish:
            return 12524;
        case LanguageId::English:
            break;
    }
    return 1033;
}

SettingsStore::SettingsStore()
    : SettingsStore(platform::dataDir() / "Config.ini", platform::programDir() / "Config.ini",
                    platform::programDir() / "oem.ini") {}

SettingsStore::SettingsStore(std::filesystem::path user_config, std::filesystem::path program_config,
                             std::filesystem::path oem_ini)
    : user_config_(std::move(user_config)),
      program_config_(std::move(program_config)),
      oem_ini_(std::move(oem_ini)) {}

void SettingsStore::load() {
    using platform::getPrivateProfileInt;
    user_lcid_ = getPrivateProfileInt("Setting", "LCID", 0, user_config_);
    send_action_ = getPrivateProfileInt("Setting", "SendAction", 1, user_config_);
    open_tutorial_ = getPrivateProfileInt("Setting", "OpenTutorial", 1, user_config_) != 0;
    enable_shadow_ = getPrivateProfileInt("Setting", "EnableShadow", 1, program_config_);
    // Every run starts on the primary service endpoints.
    standby_.store(false);
}

bool SettingsStore::hasNewInstaller() const {
    return platform::getPrivateProfileInt("main", "HasNewInstaller", 0, user_config_) != 0;
}

std::string SettingsStore::muxingQueueSize() const {
    return platform::getPrivateProfileString("Config", "Size", "34500", program_config_);
}

void SettingsStore::writeInt(const char* section, const char* key, int value) const {
    platform::writePrivateProfileString(section, key, std::to_string(value), user_config_);
}

void SettingsStore::setLanguage(LanguageId id) {
    int lcid = lcidForLanguage(id);
    writeInt("Setting", "LCID", lcid);
    user_lcid_ = lcid;
    // A protected program folder makes this half fail silently; the user value wins.
    platform::writePrivateProfileString("LANG", "LCID", std::to_string(lcid), oem_ini_);
}

void SettingsStore::setStandby(bool standby) {
    standby_.store(standby);
    writeInt("Setting", "StandbyServer", standby ? 1 : 0);
}

void SettingsStore::clearOpenTutorial() {
    open_tutorial_ = false;
    writeInt("Setting", "OpenTutorial", 0);
}

}  // namespace app
