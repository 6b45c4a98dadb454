#pragma once
// The toolbox engine: the package "toolbox.dat" (a ZIP read from memory), its daily
// check against the toolbox server, the row attributes and the tool installers.

#include <zip.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "app/language_id.h"
#include "platform/message_target.h"

namespace online {

// The value of `key` in "k=v;k=v" (first pair whose text begins with the key and
// "=", key letters compared without case); empty when missing.
std::string attributeValue(std::string_view attributes, std::string_view key);

// "skin_ru.xml" ... by language, "skin.xml" for the others.
std::string toolboxLayoutName(app::LanguageId language);

std::filesystem::path toolboxPackagePath();  // dataDir()/toolbox.dat
// cd.dat "Config" "Toolbox" is 1 and the package exists.
bool toolboxAvailable();

// A ZIP archive held in memory (the package), optionally password-protected.
class ZipInMemory {
public:
    // Nothing when `bytes` are no ZIP archive.
    static std::unique_ptr<ZipInMemory> open(std::string bytes, const std::string& password);
    ~ZipInMemory();
    ZipInMemory(const ZipInMemory&) = delete;
    ZipInMemory& operator=(const ZipInMemory&) = delete;
    // An entry's bytes; nothing when missing, undecryptable or above 16 MiB.
    std::optional<std::string> read(std::string_view name) const;

private:
    ZipInMemory() = default;
    std::string bytes_;
    zip_t* zip_ = nullptr;
};

// What a row offers, from its user data and the machine: a web page, the installed
// tool, or its installer.
enum class ToolAction { Learn, Open, Get };
// The tool's folder: machine store of `regedit` ("Path"), when it exists; else empty.
std::filesystem::path toolFolder(const std::string& regedit);
ToolAction toolAction(std::string_view row_attributes);

// The once-a-day package check (CheckPackage): on a newer server version the package
// is replaced and `message` posted to `owner` when no package existed before.
class ToolboxCheck {
public:
    ~ToolboxCheck();
    // False when it did not start (same day, no toolbox host, already running).
    bool start(std::string code, std::shared_ptr<platform::MessageTarget> owner, std::uint32_t message);
    // The check itself, synchronous.
    void run(const std::string& code, platform::MessageTarget* owner, std::uint32_t message);
    void shutdown();

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> abort_{false};
};
ToolboxCheck& toolboxCheck();

// Set once to end every installer wait (the popup is going away).
class QuitEvent {
public:
    void set();
    bool isSet() const;
    // Waits up to `ms`; true when set.
    bool waitFor(int ms);
    // Set with the event: the abort flag of a transfer that must end with it.
    const std::atomic<bool>* flag() const { return &flag_; }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool set_ = false;  // guarded by mutex_
    std::atomic<bool> flag_{false};
};

// The install thread of one row: downloads "/download/" + installer from the toolbox
// server over HTTPS into the data folder, posts progress (1025), the end of the
// transfer (1026) and then 1028 when the installer ran to its end, 1027 on a failed
// download, a failed start, or when `quit` came first.
void installTool(const std::string& installer, const std::string& parameters, const std::string& sha256,
                 platform::MessageTarget* window, platform::LParam row, std::shared_ptr<QuitEvent> quit);

}  // namespace online
