#include "online/toolbox.h"

#include <chrono>
#include <map>

#include "app/cd_dat.h"
#include "online/endpoints.h"
#include "online/http.h"
#include "online/version_page.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/strings.h"
#include "platform/time.h"
#include "platform/window_messages.h"

namespace online {
namespace {

bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

}  // namespace

std::string attributeValue(std::string_view attributes, std::string_view key) {
    size_t start = 0;
    while (start <= attributes.size()) {
        size_t end = attributes.find(';', start);
        if (end == std::string_view::npos)
            end = attributes.size();
        const std::string_view pair = attributes.substr(start, end - start);
        if (pair.size() > key.size() && pair[key.size()] == '=') {
            if (platform::equalsNoCase(pair.substr(0, key.size()), key))
                return std::string(pair.substr(key.size() + 1));
        }
        start = end + 1;
    }
    return {};
}

std::string toolboxLayoutName(app::LanguageId language) {
    using L = app::LanguageId;
    static const std::map<L, const char*> names = {
        {L::Portuguese, "skin_pt.xml"}, {L::French, "skin_fr.xml"},
        {L::Arabic, "skin_ar.xml"},     {L::Russian, "skin_ru.xml"},
        {L::Japanese, "skin_jp.xml"},   {L::ChineseTraditional, "skin_tr.xml"},
        {L::Swedish, "skin_se.xml"},    {L::Indonesian, "skin_id.xml"},
        {L::German, "skin_de.xml"},     {L::Spanish, "skin_es.xml"},
        {L::Greek, "skin_cy.xml"},      {L::Turkish, "skin_tk.xml"},
        {L::Hebrew, "skin_il.xml"},     {L::Korean, "skin_ko.xml"},
        {L::Italian, "skin_it.xml"},    {L::Dutch, "skin_nl.xml"},
        {L::Polish, "skin_pl.xml"},     {L::Czech, "skin_cz.xml"},
        {L::Romanian, "skin_md.xml"},   {L::Hungarian, "skin_hu.xml"},
        {L::Danish, "skin_dk.xml"},
    };
    const auto found = names.find(language);
    return found == names.end() ? "skin.xml" : found->second;
}

std::filesystem::path toolboxPackagePath() {
    return platform::dataDir() / "toolbox.dat";
}

bool toolboxAvailable() {
    std::error_code ec;
    return app::cddat::toolbox() == 1 && std::filesystem::is_regular_file(toolboxPackagePath(), ec);
}

std::unique_ptr<ZipInMemory> ZipInMemory::open(std::string bytes, const std::string& password) {
    std::unique_ptr<ZipInMemory> archive(new ZipInMemory);
    archive->bytes_ = std::move(bytes);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(archive->bytes_.data(), archive->bytes_.size(), 0, &error);
    if (!source) {
        zip_error_fini(&error);
        return nullptr;
    }
    archive->zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (!archive->zip_) {
        zip_source_free(source);
        return nullptr;
    }
    if (!password.empty())
        zip_set_default_password(archive->zip_, password.c_str());
    return archive;
}

ZipInMemory::~ZipInMemory() {
    if (zip_)
        zip_discard(zip_);
}

std::optional<std::string> ZipInMemory::read(std::string_view name) const {
    const std::string key(name);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(zip_, key.c_str(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) || st.size > 16 * 1024 * 1024)
        return std::nullopt;
    zip_file_t* file = zip_fopen(zip_, key.c_str(), 0);
    if (!file)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(st.size), '\0');
    const zip_int64_t got = zip_fread(file, bytes.data(), st.size);
    zip_fclose(file);
    if (got != static_cast<zip_int64_t>(st.size))
        return std::nullopt;
    return bytes;
}

std::filesystem::path toolFolder(const std::string& regedit) {
    if (!isPlainName(regedit))
        return {};
    // HKEY_LOCAL_MACHINE\Software\<regedit>: a store beside the program's own.
    platform::RegistryStore store(platform::machineConfigDir().parent_path() / regedit / "registry.ini",
                                  true);
    const auto path = store.getString("Path");
    if (!path || path->empty())
        return {};
    std::error_code ec;
    return std::filesystem::is_directory(*path, ec) ? std::filesystem::path(*path) : std::filesystem::path();
}

ToolAction toolAction(std::string_view row_attributes) {
    if (!attributeValue(row_attributes, "url").empty())
        return ToolAction::Learn;
    return toolFolder(attributeValue(row_attributes, "regedit")).empty() ? ToolAction::Get : ToolAction::Open;
}

ToolboxCheck::~ToolboxCheck() {
    shutdown();
}

bool ToolboxCheck::start(std::string code, std::shared_ptr<platform::MessageTarget> owner,
                         std::uint32_t message) {
    if (running_.load() || endpoints().toolbox.empty())
        return false;
    auto store = platform::RegistryStore::currentUser();
    if (store.getDword("ToolboxDay") == static_cast<std::uint32_t>(platform::localDayOfMonth()))
        return false;
    if (thread_.joinable())
        thread_.join();
    abort_.store(false);
    running_.store(true);
    thread_ = std::thread([this, code = std::move(code), owner, message] {
        run(code, owner.get(), message);
        running_.store(false);
    });
    return true;
}

void ToolboxCheck::run(const std::string& code, platform::MessageTarget* owner, std::uint32_t message) {
    const std::string host = endpoints().toolbox;
    if (host.empty() || !isPlainName(code))
        return;
    HttpOptions page;
    page.max_bytes = 64 * 1024;
    page.abort = &abort_;
    const std::string remote = versionLine(fetchText(host + "/" + code + "/version.html", page));
    if (remote.empty())
        return;
    auto store = platform::RegistryStore::currentUser();
    const std::string local = store.getString("ToolboxVersion").value_or("");
    const bool existed = toolboxAvailable();
    if (compareVersions(remote, local) <= 0)
        return;
    const auto package = toolboxPackagePath();
    const auto temporary = std::filesystem::path(package.string() + ".tmp");
    std::error_code ec;
    std::filesystem::remove(temporary, ec);
    std::filesystem::remove(package, ec);
    DownloadOptions options;
    options.http.max_bytes = 32 * 1024 * 1024;
    options.http.abort = &abort_;
    if (downloadFile(host + "/" + code + "/toolbox.zip", temporary, options) != DownloadStatus::Ok)
        return;
    store.setString("ToolboxVersion", remote);
    store.setDword("ToolboxDay", static_cast<std::uint32_t>(platform::localDayOfMonth()));
    std::filesystem::rename(temporary, package, ec);
    if (!ec && !existed && owner)
        owner->post(message, 0, 0);
}

void ToolboxCheck::shutdown() {
    abort_.store(true);
    if (thread_.joinable())
        thread_.join();
}

ToolboxCheck& toolboxCheck() {
    static ToolboxCheck check;
    return check;
}

void QuitEvent::set() {
    flag_.store(true);
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    cv_.notify_all();
}

bool QuitEvent::isSet() const {
    std::lock_guard lock(mutex_);
    return set_;
}

bool QuitEvent::waitFor(int ms) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return set_; });
}

void installTool(const std::string& installer, const std::string& parameters, const std::string& sha256,
                 platform::MessageTarget* window, platform::LParam row, std::shared_ptr<QuitEvent> quit) {
    const std::string host = endpoints().toolbox;
    if (host.empty() || !isPlainName(installer)) {
        window->post(platform::WM_DOWNLOAD_FAILED, 0, row);
        return;
    }
    const auto file = platform::dataDir() / installer;
    DownloadOptions options;
    options.http.https_only = true;
    // The quit event ends the transfer at once, also one that receives nothing.
    options.http.abort = quit->flag();
    options.mode = 0700;
    options.sha256 = validSha256(sha256);
    // A host given as "http://" is turned to https: installers never travel in clear.
    std::string base = host;
    if (base.starts_with("http://"))
        base = "https://" + base.substr(7);
    const auto status = downloadFile(
        base + "/download/" + installer, file, options, [&](std::int64_t received, std::int64_t total) {
            if (total > 0)
                window->post(platform::WM_DOWNLOAD_PROGRESS,
                             static_cast<platform::WParam>(static_cast<float>(received) * 100.0f /
                                                           static_cast<float>(total)),
                             row);
            return true;
        });
    if (status != DownloadStatus::Ok) {
        window->post(platform::WM_DOWNLOAD_FAILED, 0, row);
        return;
    }
    window->post(platform::WM_DOWNLOAD_DONE, 0, row);
    platform::CommandLine command(file.string());
    const auto args = platform::commandFromText(parameters);
    for (const auto& arg : args.argv())
        command.arg(arg);
    auto process = platform::Process::start(command, {.new_process_group = true});
    if (!process) {
        window->post(platform::WM_DOWNLOAD_FAILED, 0, row);
        return;
    }
    while (!process->poll()) {
        if (quit->waitFor(100)) {
            // The installer keeps running on its own; only our wait ends (a Process
            // would end its child when destroyed, so it is let go).
            (void)process.release();
            window->post(platform::WM_DOWNLOAD_FAILED, 0, row);
            return;
        }
    }
    window->post(platform::WM_TOOL_INSTALLED, 0, row);
}

}  // namespace online
