// Text fetch and file download against real loopback servers, friendly and hostile.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "loopback_server.h"
#include "online/http.h"
#include "test_support.h"

namespace {

using online::DownloadStatus;
using onlinetest::LoopbackServer;

class HttpTest : public onlinetest::CertificateTest {
protected:
    static void SetUpTestSuite() {
        CertificateTest::SetUpTestSuite();
        if (HasFatalFailure())
            return;
        plain_ = new LoopbackServer(dir_->path() / "plain");
        tls_ = new LoopbackServer(dir_->path() / "tls", certs_->cert, certs_->key);
        wrong_ = new LoopbackServer(dir_->path() / "wrong", certs_->wrong_cert, certs_->wrong_key);
        online::setCaFile(certs_->ca);
    }
    static void TearDownTestSuite() {
        online::setCaFile({});
        delete wrong_;
        delete tls_;
        delete plain_;
        CertificateTest::TearDownTestSuite();
    }
    void SetUp() override { ASSERT_TRUE(plain_->running() && tls_->running() && wrong_->running()); }

    static online::DownloadOptions executable() {
        online::DownloadOptions options;
        options.http.https_only = true;
        options.mode = 0700;
        return options;
    }
    static bool exists(const std::filesystem::path& p) { return std::filesystem::exists(p); }

    testsupport::TempDir out_;
    static LoopbackServer *plain_, *tls_, *wrong_;
};
LoopbackServer *HttpTest::plain_ = nullptr, *HttpTest::tls_ = nullptr, *HttpTest::wrong_ = nullptr;

TEST_F(HttpTest, TextFetchGivesOnlyCompleteSuccessfulBodies) {
    plain_->put("page.htm", "version:<#1.2#>");
    plain_->put("gone.htm.status", "500");
    plain_->put("moved.htm.redirect", plain_->base() + "/page.htm");
    tls_->put("page.htm", "secure");
    EXPECT_EQ(online::fetchText(plain_->base() + "/page.htm"), "version:<#1.2#>");
    EXPECT_EQ(online::fetchText(plain_->base() + "/moved.htm"), "version:<#1.2#>");
    EXPECT_EQ(online::fetchText(tls_->base() + "/page.htm"), "secure");
    EXPECT_EQ(online::fetchText(plain_->base() + "/missing.htm"), "");
    EXPECT_EQ(online::fetchText(plain_->base() + "/gone.htm"), "");
    EXPECT_EQ(online::fetchText(""), "");
    // Nobody listens on port 1.
    EXPECT_EQ(online::fetchText("http://127.0.0.1:1/page.htm"), "");
}

TEST_F(HttpTest, WrongCertificateGivesNothing) {
    wrong_->put("page.htm", "impostor");
    EXPECT_EQ(online::fetchText(wrong_->base() + "/page.htm"), "");
    wrong_->put("setup.bin", "#!/bin/sh\necho pwned\n");
    const auto target = out_ / "setup.bin";
    EXPECT_EQ(online::downloadFile(wrong_->base() + "/setup.bin", target, executable()),
              DownloadStatus::Failed);
    EXPECT_FALSE(exists(target));
    EXPECT_FALSE(exists(target.string() + ".upd"));
}

TEST_F(HttpTest, OversizedAndStalledAnswersEndWithinTheirLimits) {
    plain_->put("huge.htm.big", std::to_string(50 * 1024 * 1024));
    plain_->put("huge.htm", "");
    EXPECT_EQ(online::fetchText(plain_->base() + "/huge.htm"), "");

    const auto target = out_ / "huge.bin";
    online::DownloadOptions small;
    small.http.max_bytes = 1024 * 1024;
    EXPECT_EQ(online::downloadFile(plain_->base() + "/huge.htm", target, small), DownloadStatus::Failed);
    EXPECT_FALSE(exists(target));
    EXPECT_FALSE(exists(target.string() + ".upd"));

    plain_->put("slow.htm.stall", "");
    plain_->put("dead.htm.hang", "");
    online::HttpOptions quick;
    quick.stall_timeout_ms = 1000;
    for (const char* path : {"/slow.htm", "/dead.htm"}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(online::fetchText(plain_->base() + path, quick), "") << path;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << path;
    }
}

TEST_F(HttpTest, CompleteDownloadReplacesTheTargetAtomically) {
    const std::string body(300000, 'b');
    tls_->put("setup.bin", body);
    const auto target = out_ / "setup.bin";
    testsupport::writeFile(target, "old");
    std::int64_t last = 0, total = 0;
    const auto status = online::downloadFile(tls_->base() + "/setup.bin", target, executable(),
                                             [&](std::int64_t received, std::int64_t all) {
                                                 EXPECT_GE(received, last);
                                                 last = received;
                                                 total = all;
                                                 return true;
                                             });
    ASSERT_EQ(status, DownloadStatus::Ok);
    EXPECT_EQ(testsupport::readFile(target), body);
    EXPECT_EQ(last, 300000);
    EXPECT_EQ(total, 300000);
    EXPECT_FALSE(exists(target.string() + ".upd"));
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(HttpTest, FailedDownloadsLeaveTheOldTargetAndNoPartialFile) {
    const auto target = out_ / "setup.bin";
    auto expectUntouched = [&](DownloadStatus status, const char* what) {
        EXPECT_NE(status, DownloadStatus::Ok) << what;
        EXPECT_EQ(testsupport::readFile(target), "old") << what;
        EXPECT_FALSE(exists(target.string() + ".upd")) << what;
    };
    testsupport::writeFile(target, "old");
    tls_->put("cut.bin", std::string(400000, 'c'));
    tls_->put("cut.bin.cut", "");
    expectUntouched(online::downloadFile(tls_->base() + "/cut.bin", target, executable()),
                    "cut in the middle");
    expectUntouched(online::downloadFile(tls_->base() + "/none.bin", target, executable()), "404");

    tls_->put("ok.bin", "payload");
    auto sha = executable();
    sha.sha256 = std::string(64, '0');
    expectUntouched(online::downloadFile(tls_->base() + "/ok.bin", target, sha), "checksum");
    auto size = executable();
    size.expected_size = 8;
    expectUntouched(online::downloadFile(tls_->base() + "/ok.bin", target, size), "size");
    expectUntouched(online::downloadFile(tls_->base() + "/ok.bin", target, executable(),
                                         [](std::int64_t, std::int64_t) { return false; }),
                    "cancelled");

    // The right checksum passes.
    auto right = executable();
    right.sha256 = "239F59ED55E737C77147CF55AD0C1B030B6D7EE748A7426952F9B852D5A935E5";
    EXPECT_EQ(online::downloadFile(tls_->base() + "/ok.bin", target, right), DownloadStatus::Ok);
    EXPECT_EQ(testsupport::readFile(target), "payload");
}

TEST_F(HttpTest, ExecutablesNeverTravelOverPlainHttp) {
    plain_->put("setup.bin", "#!/bin/sh\n");
    tls_->put("setup.bin.redirect", plain_->base() + "/setup.bin");
    const auto target = out_ / "setup.bin";
    EXPECT_EQ(online::downloadFile(plain_->base() + "/setup.bin", target, executable()),
              DownloadStatus::Refused);
    EXPECT_EQ(online::downloadFile(tls_->base() + "/setup.bin", target, executable()),
              DownloadStatus::Failed);
    EXPECT_FALSE(exists(target));
    EXPECT_FALSE(exists(target.string() + ".upd"));
    // Plain files of other kinds may come over http.
    EXPECT_EQ(online::downloadFile(plain_->base() + "/setup.bin", out_ / "cd.dat"), DownloadStatus::Ok);
}

TEST(UrlEscape, KeepsLettersAndDigitsOnly) {
    EXPECT_EQ(online::urlEscape("aZ09-._~+/= &"), "aZ09-._~%2B%2F%3D%20%26");
}

}  // namespace
