#include "online/endpoints.h"

#include <memory>
#include <mutex>
#include <vector>

#include "online/http.h"
#include "platform/folders.h"
#include "platform/profile.h"

#ifndef QUORIN_DEFAULT_UPDATE_HOST
#define QUORIN_DEFAULT_UPDATE_HOST ""
#endif
#ifndef QUORIN_DEFAULT_TOOLBOX_HOST
#define QUORIN_DEFAULT_TOOLBOX_HOST ""
#endif
#ifndef QUORIN_DEFAULT_STATS_HOST
#define QUORIN_DEFAULT_STATS_HOST ""
#endif

namespace online {
namespace {

std::mutex g_mutex;
std::shared_ptr<const Endpoints> g_endpoints;  // guarded by g_mutex; replaced whole

std::string trimSlash(std::string url) {
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    return url;
}

}  // namespace

Endpoints Endpoints::load() {
    return load(platform::programDir() / "oem.ini");
}

Endpoints Endpoints::load(const std::filesystem::path& oem_ini) {
    auto read = [&](const char* key, const char* def) {
        return platform::getPrivateProfileString("Service", key, def, oem_ini);
    };
    Endpoints e;
    e.update = trimSlash(read("Update", QUORIN_DEFAULT_UPDATE_HOST));
    e.toolbox = trimSlash(read("Toolbox", QUORIN_DEFAULT_TOOLBOX_HOST));
    e.statistics = trimSlash(read("Statistics", QUORIN_DEFAULT_STATS_HOST));
    e.install_data = trimSlash(read("InstallData", QUORIN_DEFAULT_STATS_HOST));
    e.log = trimSlash(read("Log", QUORIN_DEFAULT_STATS_HOST));
    e.time = read("Time", "");
    const std::string installer = read("InstallerName", "");
    // A name, never a path.
    if (!installer.empty() && installer.find('/') == std::string::npos && installer != "." &&
        installer != "..")
        e.installer_name = installer;
    e.ca_file = read("CaFile", "");
    return e;
}

const Endpoints& endpoints() {
    std::lock_guard lock(g_mutex);
    if (!g_endpoints)
        g_endpoints = std::make_shared<const Endpoints>();
    return *g_endpoints;
}

void setEndpoints(Endpoints value) {
    setCaFile(value.ca_file);
    std::lock_guard lock(g_mutex);
    // The old table stays alive: a reference handed out earlier must not dangle.
    static std::vector<std::shared_ptr<const Endpoints>> retired;
    if (g_endpoints)
        retired.push_back(g_endpoints);
    g_endpoints = std::make_shared<const Endpoints>(std::move(value));
}

}  // namespace online
