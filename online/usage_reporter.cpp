#include "online/usage_reporter.h"

#include <json/json.h>
#include <openssl/evp.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "app/message_key.h"
#include "online/http.h"
#include "online/version_page.h"
#include "platform/strings.h"

namespace online {
namespace {

using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

std::string styled(const Json::Value& value) {
    Json::StyledWriter writer;
    return writer.write(value);
}

// The time page answers {"code":1,"time":"..."}; anything else gives no time.
std::string serverTime(const std::string& url, const HttpOptions& options) {
    const std::optional<Json::Value> parsed = parseJson(fetchText(url, options), Json::objectValue);
    if (!parsed)
        return {};
    const Json::Value& root = *parsed;
    const auto& code = root["code"];
    if (!code.isNumeric() || code.asDouble() != 1)
        return {};
    const auto& t = root["time"];
    if (t.isString())
        return t.asString();
    if (t.isIntegral())
        return t.asString();
    return {};
}

// A positive integer answer ("1").
bool receivedCount(const std::string& body) {
    if (body.empty())
        return false;
    char* end = nullptr;
    const long value = std::strtol(body.c_str(), &end, 10);
    while (end && (*end == '\r' || *end == '\n' || *end == ' '))
        ++end;
    return end && *end == '\0' && value >= 1;
}

HttpOptions reportOptions(const std::atomic<bool>* abort, long limit_ms) {
    HttpOptions options;
    options.connect_timeout_ms = std::min(limit_ms, 20000L);
    options.total_timeout_ms = limit_ms;
    options.stall_timeout_ms = limit_ms;
    options.max_bytes = 64 * 1024;
    options.abort = abort;
    return options;
}

}  // namespace

std::string encryptReport(const std::string& json) {
    CipherCtx ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    std::string out(json.size() + 16, '\0');
    int n1 = 0, n2 = 0;
    if (!ctx ||
        EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                           reinterpret_cast<const unsigned char*>(kReportKey), kReportIv) != 1 ||
        EVP_EncryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n1,
                          reinterpret_cast<const unsigned char*>(json.data()),
                          static_cast<int>(json.size())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n1, &n2) != 1)
        return {};
    out.resize(static_cast<size_t>(n1 + n2));
    return app::encodeBase64(out);
}

std::string decryptReport(const std::string& base64) {
    const auto bytes = app::decodeBase64(base64);
    if (!bytes || bytes->empty())
        return {};
    CipherCtx ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    std::string out(bytes->size() + 16, '\0');
    int n1 = 0, n2 = 0;
    if (!ctx ||
        EVP_DecryptInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr,
                           reinterpret_cast<const unsigned char*>(kReportKey), kReportIv) != 1 ||
        EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &n1,
                          reinterpret_cast<const unsigned char*>(bytes->data()),
                          static_cast<int>(bytes->size())) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(out.data()) + n1, &n2) != 1)
        return {};
    out.resize(static_cast<size_t>(n1 + n2));
    return out;
}

std::string md5Hex(const std::string& text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

UsageReporter::UsageReporter() {
    os_bits_ = sizeof(void*) == 8 ? 64 : 32;
    // The OS table names Windows releases only; any other system gives an empty name.
}

UsageReporter::~UsageReporter() {
    shutdown();
}

void UsageReporter::setIdentity(std::string partner, std::string version, std::string campaign_tag) {
    partner_ = std::move(partner);
    version_ = std::move(version);
    campaign_tag_ = std::move(campaign_tag);
}

bool UsageReporter::installDataReport(UsageEvent type, const std::atomic<bool>* abort, long limit_ms) {
    const Endpoints& e = endpoints();
    if (e.time.empty() || e.install_data.empty())
        return false;
    const auto options = reportOptions(abort, limit_ms);
    const std::string t = serverTime(e.time, options);
    if (t.empty())
        return false;
    const std::string sign = md5Hex(std::to_string(kProductId) + t);
    const std::string body =
        "product_id=" + std::to_string(kProductId) + "&type=" + std::to_string(static_cast<int>(type)) +
        "&os_bit=" + std::to_string(os_bits_) + "&partner_id=" + partner_ + "&version=" + version_ +
        "&os=" + os_name_ + "&adid=" + campaign_tag_ + "&t=" + t + "&sign=" + sign;
    return receivedCount(httpPostForm(e.install_data + "/api/kelmora/softInstallData", body, options).body);
}

std::string UsageReporter::startJson(UsageEvent type) const {
    Json::Value root(Json::objectValue);
    root["AppId"] = kAppId;
    root["TypeId"] = static_cast<int>(type);
    root["OsBit"] = os_bits_;
    root["ChannelCode"] = partner_;
    root["Version"] = version_;
    root["Os"] = os_name_;
    root["AdId"] = std::atoi(campaign_tag_.c_str());
    root["AppApiId"] = kProductId;
    return styled(root);
}

std::string UsageReporter::sessionJson(const std::string& product_name) const {
    Json::Value root(Json::objectValue);
    Json::Value format(Json::arrayValue);
    for (const auto& record : records_) {
        Json::Value entry(Json::objectValue);
        entry["source"] = record.source;
        entry["target"] = record.target;
        entry["time"] = record.time;
        entry["result"] = static_cast<int>(record.result);
        entry["msg"] = record.msg;
        format.append(entry);
    }
    root["format"] = format;
    root["product_id"] = kProductId;
    root["product"] = product_name;
    root["version"] = version_;
    root["os"] = os_name_ + (os_bits_ == 64 ? " (64)" : " (32)");
    return styled(root);
}

void UsageReporter::reportEvent(UsageEvent type) {
    if (type != UsageEvent::Started) {
        installDataReport(type, &abort_, 20000);
        return;
    }
    if (send_running_.load())
        return;  // the previous start report is still out
    if (send_thread_.joinable())
        send_thread_.join();
    const Endpoints& e = endpoints();
    if (e.statistics.empty() && (e.time.empty() || e.install_data.empty()))
        return;
    pending_body_ = encryptReport(startJson(type));
    pending_type_ = type;
    send_running_.store(true);
    send_thread_ = std::thread([this, statistics = e.statistics] {
        installDataReport(pending_type_, &abort_, 20000);
        if (!statistics.empty())
            httpPostForm(statistics + "/action.ashx", pending_body_, reportOptions(&abort_, 20000));
        send_running_.store(false);
    });
}

void UsageReporter::addConversionRecord(bool success, const std::string& source_ext,
                                        const std::string& target_ext) {
    records_.push_back({.result = static_cast<std::uint8_t>(success ? 1 : 0),
                        .time = static_cast<std::int32_t>(std::time(nullptr)),
                        .source = platform::upper(source_ext),
                        .target = platform::upper(target_ext)});
}

void UsageReporter::sendSessionReport(const std::string& product_name, long limit_ms) {
    if (records_.empty())
        return;
    const std::string json = sessionJson(product_name);
    records_.clear();
    const Endpoints& e = endpoints();
    if (e.log.empty())
        return;
    const std::string body = "data=" + urlEscape(encryptReport(json));
    httpPostForm(e.log + "/api/index/pushLog", body, reportOptions(&abort_, limit_ms));
}

void UsageReporter::shutdown() {
    abort_.store(true);
    if (send_thread_.joinable())
        send_thread_.join();
}

void UsageReporter::waitForSend() {
    if (send_thread_.joinable())
        send_thread_.join();
}

UsageReporter& usageReporter() {
    static UsageReporter reporter;
    return reporter;
}

}  // namespace online
