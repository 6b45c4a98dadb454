#include <gtest/gtest.h>

#include "app/language.h"
#include "app/skin_select.h"
#include "lang_source.h"
#include "test_support.h"

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::runTool;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const std::string kTools = QUORIN_TEST_TOOLS_DIR;

std::string unzipWith(const std::string& password, const fs::path& archive, const std::string& member) {
    auto r = runTool({"unzip", "-P", password, "-p", archive.string(), member});
    return r.exit_code == 0 ? r.output : "<exit " + std::to_string(r.exit_code) + ">" + r.output;
}

}  // namespace

TEST(LanguageSource, ParsesSectionsCommentsEscapesAndCrLf) {
    std::string error;
    auto sections = tools::parseLanguageSource(
        "\xEF\xBB\xBF; comment\r\n[Text]\r\n# also a comment\r\nA = one = two \r\nB=line\\nbreak\\\\n\r\n\r\n"
        "[Message]\r\nTitle=T\r\n",
        "x.txt", &error);
    ASSERT_TRUE(sections) << error;
    ASSERT_EQ(sections->size(), 2u);
    EXPECT_EQ(tools::findValue(*sections, "Text", "A"), "one = two");
    EXPECT_EQ(tools::findValue(*sections, "Text", "B"), "line\nbreak\\n");
    EXPECT_EQ(tools::findValue(*sections, "Message", "Title"), "T");
    EXPECT_FALSE(tools::findValue(*sections, "Message", "A"));

    EXPECT_FALSE(tools::parseLanguageSource("Key=before\n", "x.txt", &error));
    EXPECT_EQ(error, "x.txt:1: entry before the first [section]");
    EXPECT_FALSE(tools::parseLanguageSource("[Text]\nA=1\n\nA=2\n", "x.txt", &error));
    EXPECT_EQ(error, "x.txt:4: key A appears twice in its section");
    EXPECT_FALSE(tools::parseLanguageSource("[Text]\nno equals\n", "x.txt", &error));
    EXPECT_EQ(error, "x.txt:2: line without '='");
}

TEST(Langpack, BuildsAFileThatGetTextReadsAndFailsLoudlyOnBadSources) {
    TempDir dir;
    writeFile(dir / "de.txt", "[Text]\nProductName=Konverter\nMulti=a\\nb\n[Message]\nTitle=Titel\n");
    auto r = runTool({kTools + "/langpack", (dir / "de.txt").string(), (dir / "out" / "de.dat").string()});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(app::getTextFrom(dir / "out" / "de.dat", "ProductName"), "Konverter");
    EXPECT_EQ(app::getTextFrom(dir / "out" / "de.dat", "Multi"), "a\nb");
    EXPECT_EQ(app::getTextFrom(dir / "out" / "de.dat", "Title", "Message"), "Titel");

    writeFile(dir / "bad.txt", "[Text]\nA=1\nA=2\n");
    r = runTool({kTools + "/langpack", (dir / "bad.txt").string(), (dir / "bad.dat").string()});
    EXPECT_NE(r.exit_code, 0);
    EXPECT_NE(r.output.find("bad.txt:3:"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir / "bad.dat"));
}

TEST(Skinpack, EncryptedArchiveWithTextsFilledIn) {
    TempDir dir;
    fs::path skin = dir / "skin";
    writeFile(dir / "en.txt",
              "[Text]\nProductName=Tom & Jerry's <Converter>\n[Message]\nProductName=not this\n");
    fs::create_directories(skin / "default" / "images");
    writeFile(skin / "skin.xml",
              "<Window><Label text=\"%{ProductName}\" tip=\"%{Unknown}\"/>%{unclosed</Window>");
    std::string png("\x89PNG\r\n\x1a\n\0\0%{ProductName}", 22);
    writeFile(skin / "default" / "images" / "logo.png", png);

    fs::path archive = dir / "bin" / "skin" / "skin_en.skin";
    auto r = runTool({kTools + "/skinpack", skin.string(), (dir / "en.txt").string(), archive.string()});
    ASSERT_EQ(r.exit_code, 0) << r.output;

    const std::string password(app::kSkinArchivePassword);
    EXPECT_EQ(
        unzipWith(password, archive, "skin.xml"),
        "<Window><Label text=\"Tom &amp; Jerry&apos;s &lt;Converter&gt;\" tip=\"\"/>%{unclosed</Window>");
    EXPECT_EQ(unzipWith(password, archive, "default/images/logo.png"), png);  // not a layout: untouched
    // Without the password, or with a wrong one, nothing comes out.
    EXPECT_NE(runTool({"unzip", "-P", "wrong", "-p", archive.string(), "skin.xml"}).exit_code, 0);
    auto no_password = runTool({"unzip", "-t", archive.string()});
    EXPECT_NE(no_password.exit_code, 0) << no_password.output;

    // The skin layer opens the archive by language through the program folder.
    testsupport::ScopedEnv program("QUORIN_PROGRAM_DIR", (dir / "bin").string());
    auto found = app::findSkinArchive(app::LanguageId::English, dir / "bin");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->file, "skin_en.skin");
}

TEST(Skinpack, EmptyOrMissingSkinFolderStillGivesAValidArchive) {
    TempDir dir;
    writeFile(dir / "en.txt", "[Text]\n");
    fs::path archive = dir / "skin_en.skin";
    auto r =
        runTool({kTools + "/skinpack", (dir / "none").string(), (dir / "en.txt").string(), archive.string()});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(unzipWith(std::string(app::kSkinArchivePassword), archive, "skin.info"), "language=en\n");
}

// The archives of the build itself open with the password.
TEST(Skinpack, BuiltArchivesOpenWithThePassword) {
    fs::path archive = fs::path(QUORIN_TEST_PROGRAM_DIR) / "skin" / "skin_en.skin";
    auto r = runTool({"unzip", "-P", std::string(app::kSkinArchivePassword), "-t", archive.string()});
    EXPECT_EQ(r.exit_code, 0) << r.output;
}
