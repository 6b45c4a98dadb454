#pragma once
// Where the online services live. Every address is a deployment value (oem.ini
// section "Service", or the build's defaults, which are empty): with none
// configured no request is ever made.

#include <filesystem>
#include <string>

namespace online {

struct Endpoints {
    // Base addresses ("https://host[:port]"), no trailing slash.
    std::string update;        // "Service" "Update": version pages, cd.dat, patch, installer
    std::string toolbox;       // "Service" "Toolbox": toolbox package and tool installers
    std::string statistics;    // "Service" "Statistics": start reports ("/action.ashx")
    std::string install_data;  // "Service" "InstallData": "/api/kelmora/softInstallData"
    std::string log;           // "Service" "Log": "/api/index/pushLog"
    std::string time;          // "Service" "Time": full address of the server-time page
    std::string installer_name = "VeltraVideoConvertSetup.exe";  // "Service" "InstallerName"
    std::filesystem::path ca_file;  // "Service" "CaFile": the authority TLS trusts

    // Reads `oem_ini` (default programDir()/oem.ini) over the build's defaults.
    static Endpoints load();
    static Endpoints load(const std::filesystem::path& oem_ini);
};

// The process's endpoints (built once at start-up, replaceable by tests).
const Endpoints& endpoints();
void setEndpoints(Endpoints endpoints);

}  // namespace online
