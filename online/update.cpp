#include "online/update.h"

#include <dlfcn.h>

#include <cstdlib>
#include <exception>

#include "app/crash.h"
#include "app/log.h"
#include "online/endpoints.h"
#include "online/usage_reporter.h"
#include "online/version_page.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/time.h"
#include "platform/window_messages.h"

namespace online {
namespace {

constexpr const char* kVersionPage = "/videoconvert/newversion.htm";
constexpr const char* kPatchPage = "/videoconvert/patchversion.htm";
constexpr const char* kPatchFile = "/videoconvert/patch.dll.cab";
constexpr const char* kConfigFile = "/videoconvert/cd.cab";
constexpr const char* kInstallerName = "VeltraVideoConvertSetup.exe";

HttpOptions pageOptions(const std::atomic<bool>* abort) {
    HttpOptions options;
    options.max_bytes = 256 * 1024;
    options.abort = abort;
    return options;
}

DownloadOptions programOptions(const std::atomic<bool>* abort) {
    DownloadOptions options;
    options.http.https_only = true;
    options.http.abort = abort;
    options.mode = 0700;
    return options;
}

}  // namespace

CUpdate::CUpdate() = default;

CUpdate::~CUpdate() {
    shutdown();
}

void CUpdate::setContext(UpdateContext context) {
    context_ = std::move(context);
}

bool CUpdate::startThread(std::function<void()> work) {
    if (running_.load())
        return false;
    if (thread_.joinable())
        thread_.join();  // a finished check is released before the next one
    abort_.store(false);
    running_.store(true);
    thread_ = std::thread([this, work = std::move(work)] {
        try {
            work();
        } catch (...) {
            app::debugLog("%s\n", app::describeOtherException(__FILE__, __LINE__).c_str());
        }
        running_.store(false);
    });
    return true;
}

bool CUpdate::startDailyCheck(std::shared_ptr<platform::MessageTarget> owner) {
    if (running_.load())
        return false;
    auto store = platform::RegistryStore::currentUser();
    const auto today = static_cast<std::uint32_t>(platform::localDayOfMonth());
    if (store.getDword("UpdateDay") == today)
        return false;
    store.setDword("UpdateDay", today);
    return startThread([this, owner] { runDaily(owner.get()); });
}

CUpdate::ManualStart CUpdate::startManualCheck(std::shared_ptr<platform::MessageTarget> owner,
                                               NoticeSink notice) {
    if (running_.load())
        return ManualStart::StillRunning;
    if (hasPendingInstaller())
        return ManualStart::PendingInstaller;
    if (!startThread([this, owner, notice = std::move(notice)] { runManual(owner.get(), notice); }))
        return ManualStart::StillRunning;
    return ManualStart::Started;
}

void CUpdate::shutdown() {
    abort_.store(true);
    if (thread_.joinable())
        thread_.join();
}

bool CUpdate::hasPendingInstaller() const {
    std::error_code ec;
    if (!std::filesystem::exists(installerPath(), ec))
        return false;
    if (pending_check_)
        return pending_check_();
    return platform::getPrivateProfileInt("main", "HasNewInstaller", 0, platform::dataDir() / "Config.ini") !=
           0;
}

std::filesystem::path CUpdate::installerPath() const {
    return platform::dataDir() / kInstallerName;
}

std::string CUpdate::information() const {
    std::lock_guard lock(mutex_);
    return information_;
}

std::string CUpdate::newVersion() const {
    std::lock_guard lock(mutex_);
    return new_version_;
}

// Reads the version page and, for a newer release, stores it and tells the owner.
// Returns whether the page held a version; `newer` says whether it was newer.
bool CUpdate::readVersionPage(const std::string& url, platform::MessageTarget* owner) {
    {
        std::lock_guard lock(mutex_);
        information_.clear();
        new_version_.clear();
        installer_sha256_.clear();
        installer_size_ = 0;
    }
    const std::string page = fetchText(url, pageOptions(&abort_));
    const std::string version = pageValue(page, "version");
    if (version.empty())
        return false;
    if (compareVersions(version, context_.program_version) <= 0)
        return true;
    {
        std::lock_guard lock(mutex_);
        new_version_ = version;
        information_ = pageValue(page, context_.information_tag);
        installer_sha256_ = validSha256(pageValue(page, "sha256"));
        installer_size_ = std::atoll(pageValue(page, "size").c_str());
    }
    if (owner)
        owner->post(platform::WM_UPDATE_FOUND, 0, 0);
    return true;
}

void CUpdate::downloadConfig() {
    const std::string& host = endpoints().update;
    if (host.empty())
        return;
    DownloadOptions options;
    options.http.max_bytes = 1024 * 1024;
    options.http.total_timeout_ms = 60000;
    options.http.abort = &abort_;
    downloadFile(host + kConfigFile, platform::dataDir() / "cd.dat", options);
}

void CUpdate::runDaily(platform::MessageTarget* owner) {
    auto store = platform::RegistryStore::currentUser();
    if (!context_.partner_id.empty() && context_.partner_id != context_.partner_tag)
        store.setString("partner", context_.partner_id);
    if (store.exists("SendInstallMessage")) {
        usageReporter().reportEvent(UsageEvent::Installed);
        store.remove("SendInstallMessage");
    }
    if (auto downloaded = store.getString("DownloadedUpdateVersion");
        downloaded && !downloaded->empty() && *downloaded == context_.program_version)
        store.remove("DownloadedUpdateVersion");

    const std::string host = endpoints().update;
    if (host.empty())
        return;

    const std::string patch = versionLine(fetchText(host + kPatchPage, pageOptions(&abort_)));
    if (!patch.empty() && compareVersions(patch, store.getString("patch").value_or("")) > 0) {
        const auto file = platform::dataDir() / "patch.so";
        if (downloadFile(host + kPatchFile, file, programOptions(&abort_)) == DownloadStatus::Ok) {
            store.setString("patch", patch);
            loadPatch(file);
        }
    }
    if (abort_.load())
        return;

    const std::string page_url = host + kVersionPage;
    // A pending installer of an outside updater is offered at start instead.
    if (!hasPendingInstaller())
        readVersionPage(page_url, owner);
    if (abort_.load())
        return;
    downloadConfig();
}

void CUpdate::runManual(platform::MessageTarget* owner, const NoticeSink& notice) {
    std::string url = context_.new_version_url;
    if (!url.starts_with("http"))
        url = endpoints().update.empty() ? std::string() : endpoints().update + kVersionPage;
    const bool found_page = !url.empty() && [&] {
        downloadConfig();
        return readVersionPage(url, owner);
    }();
    if (abort_.load())
        return;
    if (!found_page) {
        if (notice)
            notice(UpdateNotice::NoVersion);
    } else if (newVersion().empty()) {
        if (notice)
            notice(UpdateNotice::NotUpdate);
    }
}

DownloadStatus CUpdate::downloadInstaller(const DownloadProgress& progress, const std::atomic<bool>* cancel) {
    std::error_code ec;
    std::filesystem::remove(installerPath(), ec);
    const std::string host = endpoints().update;
    if (host.empty())
        return DownloadStatus::Failed;
    DownloadOptions options = programOptions(cancel);
    {
        std::lock_guard lock(mutex_);
        options.sha256 = installer_sha256_;
        options.expected_size = installer_size_;
    }
    const auto status = downloadFile(host + "/videoconvert/" + endpoints().installer_name, installerPath(),
                                     options, progress);
    if (status == DownloadStatus::Ok)
        usageReporter().reportEvent(UsageEvent::UpdateDownloaded);
    return status;
}

bool CUpdate::runInstaller() const {
    std::error_code ec;
    const auto file = installerPath();
    if (!std::filesystem::is_regular_file(file, ec))
        return false;
    return platform::startDetached(platform::CommandLine(file.string()));
}

bool CUpdate::loadPatch(const std::filesystem::path& file) {
    // Kept loaded for the life of the process, as the library expects.
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL) != nullptr;
}

CUpdate& updater() {
    static CUpdate update;
    return update;
}

}  // namespace online
