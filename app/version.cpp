#include "app/version.h"

#include <cstdio>
#include <cstdlib>

namespace app {
namespace {

std::string tagFromInstaller(platform::RegistryStore& user, const platform::RegistryStore& machine,
                             const char* value_name, char separator) {
    if (auto stored = user.getString(value_name))
        return *stored;
    std::string installer = machine.getString("InstallerName").value_or("");
    // File-name part only, whichever separator the installer used.
    if (auto slash = installer.find_last_of("\\/"); slash != std::string::npos)
        installer.erase(0, slash + 1);
    if (auto dot = installer.rfind('.'); dot != std::string::npos)
        installer.erase(dot);
    auto pos = installer.find(separator);
    std::string tag = pos == std::string::npos ? std::string() : installer.substr(pos + 1);
    if (!tag.empty())
        user.setString(value_name, tag);
    return tag;
}

}  // namespace

ProgramVersion versionFrom(const std::optional<std::string>& built_in, const platform::RegistryStore& user) {
    ProgramVersion v;
    if (!built_in) {
        v.text = user.getString("Version").value_or("");
        return v;
    }
    int parts[4] = {0, 0, 0, 0};
    std::sscanf(built_in->c_str(), "%d.%d.%d.%d", &parts[0], &parts[1], &parts[2], &parts[3]);
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
    v.text = text;
    char joined[48];
    std::snprintf(joined, sizeof joined, "%d%d%d", parts[0], parts[1], parts[2]);
    v.numeric = std::atoi(joined);
    return v;
}

ProgramVersion programVersion() {
    return versionFrom(std::string(QUORIN_VERSION), platform::RegistryStore::currentUser());
}

std::string campaignTag(platform::RegistryStore& user, const platform::RegistryStore& machine) {
    return tagFromInstaller(user, machine, "adid", '-');
}

std::string partnerTag(platform::RegistryStore& user, const platform::RegistryStore& machine) {
    return tagFromInstaller(user, machine, "partner", '_');
}

}  // namespace app
