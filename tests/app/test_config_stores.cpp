#include <gtest/gtest.h>

#include "app/branding_info.h"
#include "app/cd_dat.h"
#include "app/path_ini.h"
#include "app/settings_store.h"
#include "app/version.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "test_support.h"

namespace fs = std::filesystem;
using testsupport::IsolatedHome;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

struct Stores {
    TempDir program;
    IsolatedHome home;
    app::SettingsStore make() {
        return app::SettingsStore(platform::dataDir() / "Config.ini", program / "Config.ini",
                                  program / "oem.ini");
    }
};

TEST(SettingsStore, DefaultsHoldWithNoFileAnywhere) {
    Stores s;
    auto store = s.make();
    store.load();
    EXPECT_TRUE(store.sendAction());
    EXPECT_TRUE(store.enableShadow());
    EXPECT_TRUE(store.openTutorial());
    EXPECT_FALSE(store.standbyServer());
    EXPECT_FALSE(store.hasNewInstaller());
    EXPECT_EQ(store.userLcid(), 0);
    EXPECT_EQ(store.muxingQueueSize(), "34500");
    EXPECT_EQ(store.customBitrate(), 0);
    EXPECT_EQ(store.customFrameRate(), 0.0f);
    // Loading writes nothing.
    EXPECT_FALSE(fs::exists(store.userConfigPath()));
}

TEST(SettingsStore, ReadsBothFilesAndTheSizeOnEveryCall) {
    Stores s;
    writeFile(
        platform::dataDir() / "Config.ini",
        "[Setting]\nLCID=1031\nSendAction=0\nOpenTutorial=0\nStandbyServer=1\n[main]\nHasNewInstaller=1\n");
    writeFile(s.program / "Config.ini", "[Setting]\nEnableShadow=0\n[Config]\nSize=1024\n");
    auto store = s.make();
    store.load();
    EXPECT_EQ(store.userLcid(), 1031);
    EXPECT_FALSE(store.sendAction());
    EXPECT_FALSE(store.openTutorial());
    EXPECT_FALSE(store.standbyServer());  // every run starts on the primary endpoints
    EXPECT_TRUE(store.hasNewInstaller());
    EXPECT_FALSE(store.enableShadow());
    EXPECT_EQ(store.muxingQueueSize(), "1024");
    writeFile(s.program / "Config.ini", "[Config]\nSize=99999\n");
    EXPECT_EQ(store.muxingQueueSize(), "99999");
}

TEST(SettingsStore, LanguageGoesToBothLcidKeys) {
    Stores s;
    writeFile(s.program / "oem.ini", "; branding\n[LANG]\nLCID=1041\n[UI]\nTitleText=Q\n");
    auto store = s.make();
    store.setLanguage(app::LanguageId::Danish);
    EXPECT_EQ(platform::getPrivateProfileString("Setting", "LCID", "", store.userConfigPath()), "12524");
    EXPECT_EQ(platform::getPrivateProfileString("LANG", "LCID", "", s.program / "oem.ini"), "12524");
    EXPECT_EQ(readFile(s.program / "oem.ini"), "; branding\n[LANG]\nLCID=12524\n[UI]\nTitleText=Q\n");
    store.setLanguage(app::LanguageId::German);
    EXPECT_EQ(platform::getPrivateProfileInt("Setting", "LCID", 0, store.userConfigPath()), 1031);
    store.setLanguage(app::LanguageId::English);
    EXPECT_EQ(platform::getPrivateProfileInt("LANG", "LCID", 0, s.program / "oem.ini"), 1033);
}

TEST(SettingsStore, LanguageWriteSurvivesAReadOnlyProgramFolder) {
    Stores s;
    // The program folder does not exist: the oem.ini half fails silently.
    app::SettingsStore store(platform::dataDir() / "Config.ini", s.program / "missing" / "Config.ini",
                             s.program / "missing" / "oem.ini");
    store.setLanguage(app::LanguageId::Hungarian);
    EXPECT_EQ(platform::getPrivateProfileInt("Setting", "LCID", 0, store.userConfigPath()), 12504);
}

TEST(SettingsStore, WritesKeepTheRestOfTheUserFile) {
    Stores s;
    writeFile(platform::dataDir() / "Config.ini",
              "[Setting]\nLCID=1036\n; mine\n[main]\nHasNewInstaller=0\n");
    auto store = s.make();
    store.load();
    store.clearOpenTutorial();
    store.setStandby(true);
    EXPECT_FALSE(store.openTutorial());
    EXPECT_TRUE(store.standbyServer());
    EXPECT_EQ(readFile(store.userConfigPath()),
              "[Setting]\nLCID=1036\n; mine\nOpenTutorial=0\nStandbyServer=1\n[main]\nHasNewInstaller=0\n");
}

TEST(SettingsStore, OneShotOverridesAreTakenOnce) {
    Stores s;
    auto store = s.make();
    store.setCustomBitrate(1000000);
    store.setCustomFrameRate(29.97f);
    EXPECT_EQ(store.takeCustomBitrate(), 1000000);
    EXPECT_FLOAT_EQ(store.takeCustomFrameRate(), 29.97f);
    EXPECT_EQ(store.takeCustomBitrate(), 0);
    EXPECT_EQ(store.takeCustomFrameRate(), 0.0f);
}

TEST(BrandingInfo, MissingKeysGiveEmptyTextsAndDefaultFlags) {
    TempDir dir;
    auto b = app::BrandingInfo::load(app::LanguageId::French, dir / "oem.ini");
    EXPECT_EQ(b.lcid, 0);
    EXPECT_TRUE(b.partner_id.empty());
    EXPECT_TRUE(b.product_name.empty());
    EXPECT_TRUE(b.show_official);
    EXPECT_TRUE(b.show_privacy);
    EXPECT_TRUE(b.online_tutorial);
    EXPECT_TRUE(b.showVersion());
    EXPECT_EQ(b.support_url, app::defaultSupportUrl(app::LanguageId::French));
    EXPECT_NE(b.support_url, app::defaultSupportUrl(app::LanguageId::English));
}

TEST(BrandingInfo, ReadsEveryKey) {
    TempDir dir;
    writeFile(dir / "oem.ini",
              "[LANG]\nLCID=1041\n[Partner]\nId=partner-id-longer-than-fifteen\nNewVersion=http://v\n"
              "[URL]\nLine=https://help\n[UI]\nProductName=My Converter\nShowOfficial=0\nDlgBgImage=bg.png\n"
              "[Other]\nShowVersion=0\nOnlineTutorial=0\n");
    auto b = app::BrandingInfo::load(app::LanguageId::English, dir / "oem.ini");
    EXPECT_EQ(b.lcid, 1041);
    EXPECT_EQ(b.partner_id, "partner-id-long");  // 15 characters at most
    EXPECT_EQ(b.new_version_url, "http://v");
    EXPECT_EQ(b.support_url, "https://help");
    EXPECT_EQ(b.product_name, "My Converter");
    EXPECT_EQ(b.dlg_bg_image, "bg.png");
    EXPECT_FALSE(b.show_official);
    EXPECT_FALSE(b.online_tutorial);
    EXPECT_FALSE(b.showVersion());
    writeFile(dir / "oem.ini", "[Other]\nShowVersion=1\n");
    EXPECT_TRUE(b.showVersion());  // read afresh
}

TEST(CdDat, ReadsAfreshAndFallsBackToDefaults) {
    IsolatedHome home;
    EXPECT_EQ(app::cddat::openTutorial(), 1);
    EXPECT_EQ(app::cddat::formatAnalysis(), 1);
    EXPECT_EQ(app::cddat::supportFormat(1), "");
    writeFile(app::cddat::path(), "[FFmpeg]\nx=y\n");  // no "Config" section
    EXPECT_EQ(app::cddat::toolbox(), 1);
    EXPECT_EQ(app::cddat::supportFormat(2), "");
    std::string patterns;
    for (int i = 0; i < 40; ++i)
        patterns += "*.ext" + std::to_string(i) + ";";
    writeFile(app::cddat::path(), "[Config]\nToolbox=0\nUseCurlPlus=0\nSupportFormat2=" + patterns +
                                      "\n[Option]\nFormatAnalysis=0\n");
    EXPECT_EQ(app::cddat::toolbox(), 0);
    EXPECT_EQ(app::cddat::useCurlPlus(), 0);
    EXPECT_EQ(app::cddat::formatAnalysis(), 0);
    EXPECT_EQ(app::cddat::supportFormat(2), patterns);
}

TEST(PathIni, DefaultsToDocumentsAndKeepsAnyFolderName) {
    IsolatedHome home;
    testsupport::ScopedEnv docs("XDG_DOCUMENTS_DIR", (home.root() / "Docs").string());
    EXPECT_EQ(app::readOutputPath(), home.root() / "Docs" / "QuorinVideoConverter" / "");
    for (const std::string name : {"/media/out folder", " /lead", "/trail ", "/'quoted'", "/\"dq\""}) {
        ASSERT_TRUE(app::writeOutputPath(name));
        EXPECT_EQ(app::readOutputPath(), fs::path(name));
    }
}

TEST(Version, NumericVersionJoinsTheFirstThreeParts) {
    IsolatedHome home;
    auto user = platform::RegistryStore::currentUser();
    auto v = app::versionFrom(std::string("1.2.3.4"), user);
    EXPECT_EQ(v.text, "1.2.3.4");
    EXPECT_EQ(v.numeric, 123);
    EXPECT_EQ(app::versionFrom(std::string("2.10.0.7"), user).numeric, 2100);
    // Without a built-in version the installer's value is used and the number stays 0.
    user.setString("Version", "9.9.9.9");
    auto fallback = app::versionFrom(std::nullopt, user);
    EXPECT_EQ(fallback.text, "9.9.9.9");
    EXPECT_EQ(fallback.numeric, 0);
    EXPECT_FALSE(app::programVersion().text.empty());
}

TEST(InstallTags, ComeFromTheInstallerNameAndAreStored) {
    IsolatedHome home;
    TempDir machine_dir;
    writeFile(
        machine_dir / "registry.ini",
        "[Software\\QuorinVideoConverter]\nInstallerName=\"sz:C:\\\\Downloads\\\\Setup_abc-123.exe\"\n");
    platform::RegistryStore machine(machine_dir / "registry.ini", true);
    auto user = platform::RegistryStore::currentUser();
    EXPECT_EQ(app::partnerTag(user, machine), "abc-123");
    EXPECT_EQ(app::campaignTag(user, machine), "123");
    EXPECT_EQ(user.getString("partner"), "abc-123");
    EXPECT_EQ(user.getString("adid"), "123");
    // A stored value wins over the installer name.
    user.setString("adid", "kept");
    EXPECT_EQ(app::campaignTag(user, machine), "kept");
}

TEST(InstallTags, NothingIsStoredWithoutASeparator) {
    IsolatedHome home;
    TempDir machine_dir;
    writeFile(machine_dir / "registry.ini",
              "[Software\\QuorinVideoConverter]\nInstallerName=\"sz:setup.exe\"\n");
    platform::RegistryStore machine(machine_dir / "registry.ini", true);
    auto user = platform::RegistryStore::currentUser();
    EXPECT_EQ(app::campaignTag(user, machine), "");
    EXPECT_EQ(app::partnerTag(user, machine), "");
    EXPECT_FALSE(user.exists("adid"));
    EXPECT_FALSE(user.exists("partner"));
}

}  // namespace
