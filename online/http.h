#pragma once
// HTTP for the online services, on libcurl alone. Every request is bounded in time
// and in size and can be aborted from another thread. Nothing here opens a
// connection unless asked with a URL; an empty URL fails at once.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace online {

struct HttpOptions {
    long connect_timeout_ms = 20000;
    // Whole request; 0 = no overall limit (large downloads), the stall limit still holds.
    long total_timeout_ms = 20000;
    // A transfer that moves no byte for this long fails (a stalled server).
    long stall_timeout_ms = 20000;
    std::int64_t max_bytes = 4 * 1024 * 1024;
    // Only https, also after redirects, with the certificate verified.
    bool https_only = false;
    // Set from another thread to end the request at once (checked by libcurl's
    // progress callback).
    const std::atomic<bool>* abort = nullptr;
};

// The CA bundle every TLS request trusts; empty uses the system's store. Tests and
// deployments point it at their own authority. Thread-safe.
void setCaFile(std::filesystem::path file);
std::filesystem::path caFile();

struct HttpResult {
    bool ok = false;   // a 2xx answer received completely within the limits
    long status = 0;   // HTTP status, 0 without an answer
    std::string body;  // empty unless ok
};

// GET; the body only for a complete 2xx answer.
HttpResult httpGet(const std::string& url, const HttpOptions& options = {});
// POST with "Content-Type: application/x-www-form-urlencoded".
HttpResult httpPostForm(const std::string& url, const std::string& body, const HttpOptions& options = {});

// The text fetch of the services: the body of a complete 2xx answer, else empty.
std::string fetchText(const std::string& url, const HttpOptions& options = {});

struct DownloadOptions {
    HttpOptions http{.total_timeout_ms = 0, .max_bytes = 512 * 1024 * 1024};
    // Checked against the received file when not empty (64 hex digits, any case).
    std::string sha256;
    // Checked against the received size when above 0.
    std::int64_t expected_size = 0;
    // Mode of the finished file (0700 for programs).
    unsigned mode = 0600;
};

// Progress of a download; returning false cancels it.
using DownloadProgress = std::function<bool(std::int64_t received, std::int64_t total)>;

enum class DownloadStatus { Ok, Failed, Cancelled, Refused };

// Downloads `url` into `target` + ".upd" and renames it onto `target` only once the
// whole body arrived (the announced length, the size limit, the expected size and
// checksum all hold). On any failure the ".upd" file is removed and `target` is left
// as it was. `Refused`: the URL is not https while options demand it.
DownloadStatus downloadFile(const std::string& url, const std::filesystem::path& target,
                            const DownloadOptions& options = {}, const DownloadProgress& progress = {});

// URL-escapes everything except letters, digits and "-._~".
std::string urlEscape(const std::string& text);

}  // namespace online
