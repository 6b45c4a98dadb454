// Usage reports as a loopback statistics service receives them.

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <thread>

#include "app/message_key.h"
#include "loopback_server.h"
#include "online/endpoints.h"
#include "online/usage_reporter.h"
#include "test_support.h"

namespace {

using onlinetest::parseJson;

class UsageReporterTest : public ::testing::Test {
protected:
    UsageReporterTest() : server_(dir_ / "root") {}
    void SetUp() override {
        ASSERT_TRUE(server_.running());
        online::Endpoints e;
        e.statistics = e.install_data = e.log = server_.base();
        e.time = server_.base() + "/time";
        online::setEndpoints(e);
        reporter_.setIdentity("abc", "1.2.3.4", "123");
    }
    void TearDown() override { online::setEndpoints({}); }

    std::vector<Json::Value> requests() const {
        std::vector<Json::Value> out;
        for (const auto& line : server_.requests())
            out.push_back(parseJson(line));
        return out;
    }

    testsupport::IsolatedHome home_;
    testsupport::TempDir dir_;
    onlinetest::LoopbackServer server_;
    online::UsageReporter reporter_;
};

TEST_F(UsageReporterTest, SessionSummaryCarriesEveryConversionInOrder) {
    reporter_.addConversionRecord(true, "mp4", "mp3");
    reporter_.addConversionRecord(true, "mp4", "mp3");
    reporter_.addConversionRecord(false, "mkv", "gif");
    reporter_.sendSessionReport("Quorin Video Converter");
    EXPECT_TRUE(reporter_.records().empty());

    const auto sent = requests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["method"].asString(), "POST");
    EXPECT_EQ(sent[0]["path"].asString(), "/api/index/pushLog");
    EXPECT_EQ(sent[0]["type"].asString(), "application/x-www-form-urlencoded");
    const std::string json = onlinetest::reportJson(sent[0]["body"].asString());
    ASSERT_FALSE(json.empty());
    const Json::Value report = parseJson(json);
    ASSERT_EQ(report["format"].size(), 3u);
    const char* expected[][3] = {{"MP4", "MP3", "1"}, {"MP4", "MP3", "1"}, {"MKV", "GIF", "0"}};
    for (Json::ArrayIndex i = 0; i < 3; ++i) {
        const auto& entry = report["format"][i];
        EXPECT_EQ(entry["source"].asString(), expected[i][0]);
        EXPECT_EQ(entry["target"].asString(), expected[i][1]);
        EXPECT_EQ(entry["result"].asInt(), std::stoi(expected[i][2]));
        EXPECT_TRUE(entry["time"].isIntegral());
        EXPECT_NEAR(entry["time"].asInt64(), std::time(nullptr), 60);
        EXPECT_EQ(entry["msg"].asString(), "");
    }
    EXPECT_EQ(report["product_id"].asInt(), 1007);
    EXPECT_EQ(report["product"].asString(), "Quorin Video Converter");
    EXPECT_EQ(report["version"].asString(), "1.2.3.4");
    EXPECT_TRUE(report["os"].asString().ends_with(" (64)"));
    // The styled writer: one member per line, keys sorted.
    EXPECT_LT(json.find("\"format\""), json.find("\"version\""));
    EXPECT_NE(json.find("\n   \"product\" : "), std::string::npos);
}

TEST_F(UsageReporterTest, NothingIsSentWithoutRecordsOrWithoutEndpoints) {
    reporter_.sendSessionReport("x");
    online::setEndpoints({});
    reporter_.addConversionRecord(true, "mp4", "mp3");
    reporter_.sendSessionReport("x");
    reporter_.reportEvent(online::UsageEvent::Started);
    reporter_.reportEvent(online::UsageEvent::Uninstalled);
    reporter_.shutdown();
    EXPECT_TRUE(server_.requests().empty());
}

TEST_F(UsageReporterTest, InstallDataNeedsTheServerTimeAndIsSigned) {
    server_.put("time", R"({"code":1,"time":"1700000000"})");
    reporter_.reportEvent(online::UsageEvent::Uninstalled);
    auto sent = requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0]["path"].asString(), "/time");
    EXPECT_EQ(sent[1]["path"].asString(), "/api/kelmora/softInstallData");
    EXPECT_EQ(sent[1]["body"].asString(),
              "product_id=1007&type=2&os_bit=64&partner_id=abc&version=1.2.3.4&os=&adid=123"
              "&t=1700000000&sign=" +
                  online::md5Hex("10071700000000"));

    // A time page that says no, or is no JSON, stops the report after the time.
    for (const char* page : {R"({"code":0,"time":"1"})", "garbage", ""}) {
        server_.put("time", page);
        reporter_.reportEvent(online::UsageEvent::UpdateDownloaded);
    }
    sent = requests();
    EXPECT_EQ(sent.size(), 5u);
    for (size_t i = 2; i < sent.size(); ++i)
        EXPECT_EQ(sent[i]["path"].asString(), "/time");
}

TEST_F(UsageReporterTest, StartReportPostsItsCipherEvenWithoutServerTime) {
    reporter_.reportEvent(online::UsageEvent::Started);
    reporter_.waitForSend();
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1]["path"].asString(), "/action.ashx");
    const Json::Value start = parseJson(online::decryptReport(sent[1]["body"].asString()));
    EXPECT_EQ(start["AppId"].asInt(), 23);
    EXPECT_EQ(start["TypeId"].asInt(), 3);
    EXPECT_EQ(start["AdId"].asInt(), 123);
    EXPECT_EQ(start["ChannelCode"].asString(), "abc");
    EXPECT_EQ(start["AppApiId"].asInt(), 1007);
}

TEST_F(UsageReporterTest, AHangingServerNeverHoldsTheExitLongerThanTwoSeconds) {
    server_.put("api/index/pushLog.hang", "");
    server_.put("time.hang", "");
    reporter_.addConversionRecord(true, "mp4", "mp3");
    reporter_.reportEvent(online::UsageEvent::Started);  // stuck on the time page
    const auto start = std::chrono::steady_clock::now();
    reporter_.sendSessionReport("x");
    reporter_.shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2600));
}

// The update check sends its reports on its own thread: the exit ends them too.
TEST_F(UsageReporterTest, ShutdownEndsAReportOfAnotherThreadAtOnce) {
    server_.put("time.hang", "");
    std::thread check([&] { reporter_.reportEvent(online::UsageEvent::Installed); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    reporter_.shutdown();
    check.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(ReportCipher, PadsToWholeBlocksAndRoundTrips) {
    for (size_t n : {0u, 1u, 15u, 16u, 17u, 100u}) {
        const std::string text(n, 'a');
        const auto bytes = app::decodeBase64(online::encryptReport(text));
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->size(), 16 * (n / 16 + 1));
        EXPECT_EQ(online::decryptReport(online::encryptReport(text)), text);
    }
    EXPECT_EQ(online::md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
