#pragma once
// UsageReporter: life-cycle events and the conversion summary of a run, posted to
// the statistics endpoints. Nothing depends on the outcome; every failure is
// silent. With no endpoint configured nothing is sent and no connection is made.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "online/endpoints.h"

namespace online {

enum class UsageEvent { Installed = 1, Uninstalled = 2, Started = 3, UpdateDownloaded = 4 };

struct ConversionRecord {
    std::uint8_t result = 0;  // 1 success, 0 failure
    std::int32_t time = 0;    // seconds since 1970 when recorded
    std::string source;       // extension, upper case
    std::string target;
    std::string msg;
};

// The report cipher: AES-128-CBC with PKCS#7 padding under kReportKey / kReportIv,
// then standard base64.
inline constexpr char kReportKey[] = "Kvo@Pn#413#MERLA";
inline constexpr unsigned char kReportIv[16] = {0x51, 0x72, 0x6e, 0x53, 0x74, 0x61, 0x74, 0x73,
                                                0x2d, 0x49, 0x56, 0x2d, 0x30, 0x31, 0x36, 0x21};
std::string encryptReport(const std::string& json);
// The reverse (tests, tools); empty when the text does not decrypt.
std::string decryptReport(const std::string& base64);

// 32 lower-case hex digits.
std::string md5Hex(const std::string& text);

class UsageReporter {
public:
    UsageReporter();
    ~UsageReporter();  // shutdown()
    UsageReporter(const UsageReporter&) = delete;
    UsageReporter& operator=(const UsageReporter&) = delete;

    // Start-up fills these (partner from oem.ini, campaign tag, version).
    void setIdentity(std::string partner, std::string version, std::string campaign_tag);
    // Whether the session report may go out ("FormatAnalysis" of cd.dat); read by
    // sendSessionReport's caller.
    std::string osName() const { return os_name_; }
    int osBits() const { return os_bits_; }

    // Types 1, 2, 4 are sent on the calling thread; type 3 on the send thread (dropped
    // while an earlier one still runs).
    void reportEvent(UsageEvent type);
    void addConversionRecord(bool success, const std::string& source_ext, const std::string& target_ext);
    const std::vector<ConversionRecord>& records() const { return records_; }
    // Posts the conversion summary (at most `limit_ms`) and clears the records.
    void sendSessionReport(const std::string& product_name, long limit_ms = 2000);
    // Ends every running report at once (also one sent on another thread, such as the
    // update check's) and waits for the start report's thread; later reports give up
    // at once, for the process is closing.
    void shutdown();
    // Waits for a running start report to finish on its own.
    void waitForSend();

    // The JSON texts the reports carry (styled writer, sorted keys).
    std::string startJson(UsageEvent type) const;
    std::string sessionJson(const std::string& product_name) const;

private:
    bool installDataReport(UsageEvent type, const std::atomic<bool>* abort, long limit_ms);

    static constexpr int kAppId = 23;
    static constexpr int kProductId = 1007;
    std::string pending_body_;
    int os_bits_ = 64;
    UsageEvent pending_type_ = UsageEvent::Started;
    std::string partner_, version_, os_name_, campaign_tag_;
    std::thread send_thread_;
    std::atomic<bool> send_running_{false};
    std::atomic<bool> abort_{false};
    std::vector<ConversionRecord> records_;  // UI thread only
};

// The process's reporter.
UsageReporter& usageReporter();

}  // namespace online
