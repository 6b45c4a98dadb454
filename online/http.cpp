#include "online/http.h"

#include "platform/strings.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace online {
namespace {

std::mutex g_ca_mutex;
std::filesystem::path g_ca_file;  // guarded by g_ca_mutex

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// Aborts on request and when no byte moved for the stall time (libcurl's own
// low-speed check averages over whole seconds and reacts late).
struct Watch {
    const std::atomic<bool>* abort = nullptr;
    std::chrono::milliseconds stall{20000};
    curl_off_t moved = -1;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
};

int onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    auto* watch = static_cast<Watch*>(user);
    if (watch->abort && watch->abort->load(std::memory_order_relaxed))
        return 1;
    const auto now = std::chrono::steady_clock::now();
    if (down + up != watch->moved) {
        watch->moved = down + up;
        watch->since = now;
    } else if (now - watch->since > watch->stall) {
        return 1;
    }
    return 0;
}

// One easy handle with every limit of `options` applied.
std::unique_ptr<CURL, CurlDeleter> makeHandle(const std::string& url, const HttpOptions& options,
                                              Watch& watch) {
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        return curl;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "MyDownLoad");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    const char* protocols = options.https_only ? "https" : "http,https";
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    const auto ca = caFile();
    if (!ca.empty())
        curl_easy_setopt(c, CURLOPT_CAINFO, ca.c_str());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, options.connect_timeout_ms);
    if (options.total_timeout_ms > 0)
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, options.total_timeout_ms);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::max(1L, options.stall_timeout_ms / 1000));
    if (options.max_bytes > 0)
        curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.max_bytes));
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    watch.abort = options.abort;
    watch.stall = std::chrono::milliseconds(options.stall_timeout_ms);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &watch);
    return curl;
}

struct MemorySink {
    std::string body;
    std::int64_t limit = 0;
};

size_t writeMemory(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<MemorySink*>(user);
    const size_t n = size * count;
    if (sink->limit > 0 && static_cast<std::int64_t>(sink->body.size() + n) > sink->limit)
        return 0;  // over the limit, also without an announced length
    sink->body.append(data, n);
    return n;
}

HttpResult perform(CURL* c, std::int64_t limit) {
    MemorySink sink{.limit = limit};
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeMemory);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    HttpResult result;
    const CURLcode code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &result.status);
    if (code == CURLE_OK && result.status >= 200 && result.status < 300) {
        result.ok = true;
        result.body = std::move(sink.body);
    }
    return result;
}

struct FileSink {
    int fd = -1;
    std::int64_t received = 0;
    std::int64_t limit = 0;
    EVP_MD_CTX* sha = nullptr;
    CURL* curl = nullptr;
    const DownloadProgress* progress = nullptr;
    bool cancelled = false;
};

size_t writeFile(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<FileSink*>(user);
    const size_t n = size * count;
    if (sink->limit > 0 && sink->received + static_cast<std::int64_t>(n) > sink->limit)
        return 0;
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(sink->fd, data + done, n - done);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return 0;
        }
        done += static_cast<size_t>(w);
    }
    EVP_DigestUpdate(sink->sha, data, n);
    sink->received += static_cast<std::int64_t>(n);
    if (sink->progress && *sink->progress) {
        curl_off_t total = -1;
        curl_easy_getinfo(sink->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
        if (!(*sink->progress)(sink->received, total > 0 ? total : 0)) {
            sink->cancelled = true;
            return 0;
        }
    }
    return n;
}

}  // namespace

void setCaFile(std::filesystem::path file) {
    std::lock_guard lock(g_ca_mutex);
    g_ca_file = std::move(file);
}

std::filesystem::path caFile() {
    std::lock_guard lock(g_ca_mutex);
    return g_ca_file;
}

namespace {

// One request on a fresh handle; `setup` sets what differs (method, headers, body).
HttpResult request(const std::string& url, const HttpOptions& options,
                   const std::function<void(CURL*)>& setup) {
    if (url.empty())
        return {};
    Watch watch;
    auto curl = makeHandle(url, options, watch);
    if (!curl)
        return {};
    setup(curl.get());
    return perform(curl.get(), options.max_bytes);
}

}  // namespace

HttpResult httpGet(const std::string& url, const HttpOptions& options) {
    return request(url, options, [](CURL* curl) { curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L); });
}

HttpResult httpPostForm(const std::string& url, const std::string& body, const HttpOptions& options) {
    std::unique_ptr<curl_slist, ListDeleter> headers(
        curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded"));
    return request(url, options, [&](CURL* curl) {
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        // A redirect must not turn the POST into a GET of someone else's page.
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    });
}

std::string fetchText(const std::string& url, const HttpOptions& options) {
    return httpGet(url, options).body;
}

DownloadStatus downloadFile(const std::string& url, const std::filesystem::path& target,
                            const DownloadOptions& options, const DownloadProgress& progress) {
    if (url.empty())
        return DownloadStatus::Failed;
    if (options.http.https_only && !platform::lower(url).starts_with("https://"))
        return DownloadStatus::Refused;
    Watch watch;
    auto curl = makeHandle(url, options.http, watch);
    if (!curl)
        return DownloadStatus::Failed;
    const auto partial = std::filesystem::path(target.string() + ".upd");
    std::error_code ec;
    std::filesystem::remove(partial, ec);
    FileSink sink;
    sink.fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (sink.fd < 0)
        return DownloadStatus::Failed;
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> sha(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_DigestInit_ex(sha.get(), EVP_sha256(), nullptr);
    sink.sha = sha.get();
    sink.limit = options.http.max_bytes;
    sink.curl = curl.get();
    sink.progress = &progress;
    curl_easy_setopt(curl.get(), CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, writeFile);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &sink);

    const CURLcode code = curl_easy_perform(curl.get());
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    curl_off_t announced = -1;
    curl_easy_getinfo(curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);

    bool ok = code == CURLE_OK && status == 200 && sink.received > 0;
    if (ok && announced >= 0 && announced != sink.received)
        ok = false;
    if (ok && options.expected_size > 0 && options.expected_size != sink.received)
        ok = false;
    if (ok && !options.sha256.empty()) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(sha.get(), digest, &length);
        static const char* hex = "0123456789abcdef";
        std::string text;
        for (unsigned int i = 0; i < length; ++i) {
            text += hex[digest[i] >> 4];
            text += hex[digest[i] & 15];
        }
        ok = text == platform::lower(options.sha256);
    }
    if (ok)
        ok = ::fchmod(sink.fd, options.mode) == 0 && ::fsync(sink.fd) == 0;
    ok = (::close(sink.fd) == 0) && ok;
    if (ok) {
        std::filesystem::rename(partial, target, ec);
        ok = !ec;
    }
    if (!ok) {
        std::filesystem::remove(partial, ec);
        const bool aborted = options.http.abort && options.http.abort->load();
        return sink.cancelled || aborted ? DownloadStatus::Cancelled : DownloadStatus::Failed;
    }
    return DownloadStatus::Ok;
}

std::string urlEscape(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : text) {
        if (std::isalnum(ch) || ch == '-' || ch == '.' || ch == '_' || ch == '~') {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

}  // namespace online
