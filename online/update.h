#pragma once
// CUpdate: the daily and the manual update check, the patch, cd.dat and the
// installer download. Checks run on a thread of their own and report to the owner
// window by message (WM_UPDATE_FOUND) and, for the manual check, through a notice
// callback. With no update host configured nothing is fetched.

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "online/http.h"
#include "platform/message_target.h"

namespace online {

struct UpdateContext {
    std::string program_version;  // "1.2.3.4"
    std::string partner_id;       // oem.ini "Partner" "Id"
    std::string new_version_url;  // oem.ini "Partner" "NewVersion"
    std::string information_tag;  // the language text "Information"
    std::string partner_tag;      // the installation's "partner" tag
};

// What the manual check tells the user.
enum class UpdateNotice { NoVersion, NotUpdate };

class CUpdate {
public:
    using NoticeSink = std::function<void(UpdateNotice)>;
    using InstallerPending = std::function<bool()>;

    CUpdate();
    ~CUpdate();  // shutdown()
    CUpdate(const CUpdate&) = delete;
    CUpdate& operator=(const CUpdate&) = delete;

    void setContext(UpdateContext context);
    // Whether an installer left by an outside updater waits (Config.ini "main"
    // "HasNewInstaller"); the default reads the user Config.ini.
    void setInstallerPendingCheck(InstallerPending check) { pending_check_ = std::move(check); }

    // Once per day of the month ("UpdateDay"). False when it did not start.
    bool startDailyCheck(std::shared_ptr<platform::MessageTarget> owner);
    enum class ManualStart { Started, StillRunning, PendingInstaller };
    ManualStart startManualCheck(std::shared_ptr<platform::MessageTarget> owner, NoticeSink notice);
    bool isRunning() const { return running_.load(); }
    // Ends a running check at once and waits for its thread.
    void shutdown();

    // The synchronous routines (the thread runs these; tests call them directly).
    void runDaily(platform::MessageTarget* owner);
    void runManual(platform::MessageTarget* owner, const NoticeSink& notice);

    bool hasPendingInstaller() const;
    std::filesystem::path installerPath() const;  // dataDir()/VeltraVideoConvertSetup.exe

    // The found release: information text, new version, and what the version page
    // said of the installer ("size", "sha256"), checked when given.
    std::string information() const;
    std::string newVersion() const;

    // Removes any old installer and downloads the new one (HTTPS only). Ok only with a
    // complete, verified, executable file in place.
    DownloadStatus downloadInstaller(const DownloadProgress& progress, const std::atomic<bool>* cancel);
    // Starts the installer; false when it is missing or does not start.
    bool runInstaller() const;

    // Loads dataDir()/patch.so when one was installed (nothing in it is called).
    static bool loadPatch(const std::filesystem::path& file);

private:
    bool readVersionPage(const std::string& url, platform::MessageTarget* owner);
    void downloadConfig();
    bool startThread(std::function<void()> work);

    UpdateContext context_;
    InstallerPending pending_check_;
    mutable std::mutex mutex_;  // guards the found release below
    std::string information_, new_version_, installer_sha256_;
    std::int64_t installer_size_ = 0;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> abort_{false};
};

// The process's update object.
CUpdate& updater();

}  // namespace online
