// The daily and manual update checks, the installer download and the toolbox
// package check against loopback update servers.

#include <gtest/gtest.h>

#include <zip.h>

#include <chrono>
#include <thread>

#include "loopback_server.h"
#include "online/endpoints.h"
#include "online/http.h"
#include "online/toolbox.h"
#include "online/update.h"
#include "online/version_page.h"
#include "platform/folders.h"
#include "platform/message_target.h"
#include "platform/registry.h"
#include "platform/time.h"
#include "platform/window_messages.h"
#include "test_support.h"

namespace {

using online::CUpdate;
using onlinetest::LoopbackServer;

class UpdateCheckTest : public onlinetest::CertificateTest {
protected:
    UpdateCheckTest() : server_(root_.path(), certs_->cert, certs_->key) {}
    void SetUp() override {
        ASSERT_TRUE(server_.running());
        online::Endpoints e;
        e.update = e.toolbox = server_.base();
        e.ca_file = certs_->ca;
        online::setEndpoints(e);
        update_.setContext({.program_version = "1.2", .information_tag = "information_en"});
        update_.setInstallerPendingCheck([] { return false; });
    }
    void TearDown() override { online::setEndpoints({}); }

    std::vector<platform::Message> drain() {
        std::vector<platform::Message> got;
        queue_.dispatch([&](const platform::Message& m) {
            got.push_back(m);
            return 0;
        });
        return got;
    }

    testsupport::IsolatedHome home_;
    testsupport::TempDir root_;
    LoopbackServer server_;
    CUpdate update_;
    platform::MessageQueue queue_;
};

TEST(VersionPage, TagsComparisonsAndReleaseNotes) {
    EXPECT_EQ(online::pageValue("x\n\tversion:<#1.2.0.1#>", "version"), "1.2.0.1");
    EXPECT_EQ(online::pageValue("version<#1.2#>", "version"), "");  // no separator character
    EXPECT_EQ(online::pageValue("version:<#1.2", "version"), "");
    EXPECT_EQ(online::pageValue("nothing here", "version"), "");
    EXPECT_EQ(online::versionLine("version=1.0.3\r\n"), "1.0.3");
    EXPECT_EQ(online::versionLine("<html>version=1"), "");
    EXPECT_EQ(online::compareVersions("1.2.0.0", "1.2"), 0);
    EXPECT_EQ(online::compareVersions("1.2.0.1", "1.2"), 1);
    EXPECT_EQ(online::compareVersions("1.10", "1.9"), 1);
    EXPECT_EQ(online::compareVersions("1.0.2", "1.0.3"), -1);
    EXPECT_EQ(online::compareVersions("99999999999999999999999", "1"), 1);
    EXPECT_EQ(online::compareVersions("", "0.0"), 0);

    const std::string notes =
        R"([{"version":"1.1","date":"d0","content":["old"]},{"version":"1.3","date":"d1","content":["a","b"]},)"
        R"({"version":"1.4","date":"d2","content":["c"]}])";
    EXPECT_EQ(online::releaseNotesText(notes, "1.2"), "- 1.3 (d1)\r\na\r\nb\r\n\r\n- 1.4 (d2)\r\nc");
    EXPECT_EQ(online::releaseNotesText(notes, "2.0"), "");
    EXPECT_EQ(online::releaseNotesText(R"({"version":"9"})", "1.0"), "");
    EXPECT_EQ(online::releaseNotesText("[{\"version\":", "1.0"), "");
    EXPECT_EQ(online::releaseNotesText(R"([1,"x",{"version":5}])", "1.0"), "");
    // A hostile answer nested past the reader's stack limit is no answer, not a crash.
    EXPECT_EQ(online::releaseNotesText(std::string(5000, '['), "1.0"), "");
}

TEST_F(UpdateCheckTest, DailyCheckFindsANewerVersionAndRefreshesTheServerConfiguration) {
    server_.put("videoconvert/newversion.htm", "version:<#1.2.0.1#>\ninformation_en:<#Faster#>");
    server_.put("videoconvert/cd.cab", "[Config]\nToolbox=0\n");
    update_.runDaily(&queue_);
    const auto got = drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, platform::WM_UPDATE_FOUND);
    EXPECT_EQ(update_.newVersion(), "1.2.0.1");
    EXPECT_EQ(update_.information(), "Faster");
    EXPECT_EQ(testsupport::readFile(platform::dataDir() / "cd.dat"), "[Config]\nToolbox=0\n");
}

TEST_F(UpdateCheckTest, EqualGarbageOrEmptyVersionPagesReportNothing) {
    std::vector<online::UpdateNotice> notices;
    auto notice = [&](online::UpdateNotice n) { notices.push_back(n); };
    for (const char* page : {"version:<#1.2.0.0#>", "\x01\xff<html>garbage", ""}) {
        server_.put("videoconvert/newversion.htm", page);
        update_.runDaily(&queue_);
        update_.runManual(&queue_, notice);
        EXPECT_TRUE(drain().empty()) << page;
    }
    EXPECT_EQ(notices, (std::vector{online::UpdateNotice::NotUpdate, online::UpdateNotice::NoVersion,
                                    online::UpdateNotice::NoVersion}));
}

TEST_F(UpdateCheckTest, StartsOnceADayOfTheMonth) {
    auto store = platform::RegistryStore::currentUser();
    store.setDword("UpdateDay", static_cast<std::uint32_t>(platform::localDayOfMonth()));
    auto target = std::make_shared<platform::MessageQueue>();
    EXPECT_FALSE(update_.startDailyCheck(target));
    store.remove("UpdateDay");
    EXPECT_TRUE(update_.startDailyCheck(target));
    update_.shutdown();
    EXPECT_FALSE(update_.startDailyCheck(target));
}

TEST_F(UpdateCheckTest, InstallerArrivesOnlyCompleteAndVerified) {
    const std::string installer = "#!/bin/sh\nexit 0\n";
    server_.put("videoconvert/newversion.htm", "version:<#2.0#>sha256:<#" + std::string(64, 'a') + "#>");
    server_.put("videoconvert/VeltraVideoConvertSetup.exe", installer);
    update_.runDaily(&queue_);
    EXPECT_EQ(update_.downloadInstaller({}, nullptr), online::DownloadStatus::Failed);
    EXPECT_FALSE(std::filesystem::exists(update_.installerPath()));
    EXPECT_FALSE(update_.runInstaller());

    server_.put("videoconvert/newversion.htm",
                "version:<#2.0#>size:<#" + std::to_string(installer.size()) + "#>");
    update_.runDaily(&queue_);
    EXPECT_EQ(update_.downloadInstaller({}, nullptr), online::DownloadStatus::Ok);
    EXPECT_EQ(testsupport::readFile(update_.installerPath()), installer);

    // A cut transfer of a later release removes the old installer and leaves none.
    server_.put("videoconvert/VeltraVideoConvertSetup.exe.cut", "");
    EXPECT_EQ(update_.downloadInstaller({}, nullptr), online::DownloadStatus::Failed);
    EXPECT_FALSE(std::filesystem::exists(update_.installerPath()));
    EXPECT_FALSE(std::filesystem::exists(update_.installerPath().string() + ".upd"));
}

TEST_F(UpdateCheckTest, InstallerOverPlainHttpIsRefused) {
    LoopbackServer plain(root_.path());
    online::Endpoints e = online::endpoints();
    e.update = plain.base();
    online::setEndpoints(e);
    server_.put("videoconvert/newversion.htm", "version:<#2.0#>");
    server_.put("videoconvert/VeltraVideoConvertSetup.exe", "#!/bin/sh\n");
    update_.runDaily(&queue_);
    EXPECT_EQ(update_.newVersion(), "2.0");
    EXPECT_EQ(update_.downloadInstaller({}, nullptr), online::DownloadStatus::Refused);
    EXPECT_FALSE(std::filesystem::exists(update_.installerPath()));
}

TEST_F(UpdateCheckTest, NoUpdateHostMeansNoRequestAtAll) {
    online::setEndpoints({});
    std::vector<online::UpdateNotice> notices;
    update_.runDaily(&queue_);
    update_.runManual(&queue_, [&](online::UpdateNotice n) { notices.push_back(n); });
    EXPECT_EQ(update_.downloadInstaller({}, nullptr), online::DownloadStatus::Failed);
    EXPECT_EQ(notices, std::vector{online::UpdateNotice::NoVersion});
    EXPECT_TRUE(server_.requests().empty());
}

std::string zipWith(const std::string& name, const std::string& bytes) {
    std::string out;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* dest = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(dest);
    zip_t* zip = zip_open_from_source(dest, ZIP_TRUNCATE, &error);
    zip_source_t* entry = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
    zip_file_add(zip, name.c_str(), entry, ZIP_FL_OVERWRITE);
    zip_close(zip);
    zip_source_open(dest);
    zip_source_seek(dest, 0, SEEK_END);
    out.resize(static_cast<size_t>(zip_source_tell(dest)));
    zip_source_seek(dest, 0, SEEK_SET);
    zip_source_read(dest, out.data(), out.size());
    zip_source_close(dest);
    zip_source_free(dest);
    zip_error_fini(&error);
    return out;
}

TEST_F(UpdateCheckTest, ToolboxPackageIsReplacedOnlyByANewerVersion) {
    const std::string package = zipWith("skin.xml", "<Window/>");
    server_.put("videoconvert/version.html", "version=1.0.3\n");
    server_.put("videoconvert/toolbox.zip", package);
    auto store = platform::RegistryStore::currentUser();
    store.setString("ToolboxVersion", "1.0.3");
    online::ToolboxCheck check;
    check.run("videoconvert", &queue_, platform::WM_TOOLBOX_READY);
    EXPECT_FALSE(std::filesystem::exists(online::toolboxPackagePath()));
    EXPECT_FALSE(store.getDword("ToolboxDay"));

    store.setString("ToolboxVersion", "1.0.2");
    check.run("videoconvert", &queue_, platform::WM_TOOLBOX_READY);
    EXPECT_EQ(testsupport::readFile(online::toolboxPackagePath()), package);
    EXPECT_EQ(store.getString("ToolboxVersion"), "1.0.3");
    EXPECT_EQ(store.getDword("ToolboxDay"), static_cast<std::uint32_t>(platform::localDayOfMonth()));
    const auto got = drain();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, platform::WM_TOOLBOX_READY);
    EXPECT_TRUE(online::toolboxAvailable());

    auto archive = online::ZipInMemory::open(package, "");
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->read("skin.xml"), "<Window/>");
    EXPECT_FALSE(archive->read("skin_ru.xml"));
    EXPECT_FALSE(online::ZipInMemory::open("not a zip", ""));
}

// A tool installer that fails its checksum, or whose server stalls until the popup
// closes, leaves nothing behind and runs nothing; the close ends the wait at once.
TEST_F(UpdateCheckTest, ToolInstallersRunOnlyVerifiedAndStopWithThePopup) {
    const auto ran = root_ / "ran";
    server_.put("download/tool.run", "#!/bin/sh\ntouch '" + ran.string() + "'\n");
    auto quit = std::make_shared<online::QuitEvent>();
    online::installTool("tool.run", "", std::string(64, 'a'), &queue_, 2, quit);
    EXPECT_FALSE(std::filesystem::exists(platform::dataDir() / "tool.run"));

    server_.put("download/tool.run.stall", "");
    std::thread install([&] { online::installTool("tool.run", "", "", &queue_, 3, quit); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto closed = std::chrono::steady_clock::now();
    quit->set();
    install.join();
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(2));
    std::vector<platform::LParam> failed;  // the rows, besides their progress
    for (const auto& message : drain()) {
        if (message.id != platform::WM_DOWNLOAD_PROGRESS)
            failed.push_back(message.id == platform::WM_DOWNLOAD_FAILED ? message.lparam : -1);
    }
    EXPECT_EQ(failed, (std::vector<platform::LParam>{2, 3}));
    EXPECT_FALSE(std::filesystem::exists(platform::dataDir() / "tool.run"));
    EXPECT_FALSE(std::filesystem::exists(platform::dataDir() / "tool.run.upd"));
    EXPECT_FALSE(std::filesystem::exists(ran));
}

TEST(ToolboxRows, AttributesAndActions) {
    const std::string row = "URL=https://example.invalid/x;regedit=Foo;Exe=foo;installer=setup.run";
    EXPECT_EQ(online::attributeValue(row, "url"), "https://example.invalid/x");
    EXPECT_EQ(online::attributeValue(row, "exe"), "foo");
    EXPECT_EQ(online::attributeValue(row, "setupcommond"), "");
    EXPECT_EQ(online::attributeValue("urlx=1;url=2", "url"), "2");
    EXPECT_EQ(online::toolboxLayoutName(app::LanguageId::Russian), "skin_ru.xml");
    EXPECT_EQ(online::toolboxLayoutName(app::LanguageId::English), "skin.xml");
    EXPECT_EQ(online::toolboxLayoutName(app::LanguageId::ChineseSimplified), "skin.xml");

    testsupport::TempDir machine;
    testsupport::ScopedEnv env("QUORIN_MACHINE_CONFIG_DIR", (machine / "QuorinVideoConverter").string());
    EXPECT_EQ(online::toolAction("regedit=Foo;exe=foo"), online::ToolAction::Get);
    std::filesystem::create_directories(machine / "Foo");
    std::filesystem::create_directories(machine / "FooTool");
    testsupport::writeFile(machine / "Foo" / "registry.ini", "[Software\\QuorinVideoConverter]\nPath=\"sz:" +
                                                                 (machine / "FooTool").string() + "\"\n");
    EXPECT_EQ(online::toolFolder("Foo"), machine / "FooTool");
    EXPECT_EQ(online::toolAction("regedit=Foo;exe=foo"), online::ToolAction::Open);
    EXPECT_EQ(online::toolAction("regedit=../Foo"), online::ToolAction::Get);
    EXPECT_EQ(online::toolAction("url=https://a;regedit=Foo"), online::ToolAction::Learn);
}

}  // namespace
