#include "platform/profile.h"

#include <gtest/gtest.h>

#include "test_support.h"

using platform::getPrivateProfileInt;
using platform::getPrivateProfileString;
using platform::writePrivateProfileString;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::filesystem::path ini = dir / "test.ini";
    std::string get(const char* s, const char* k, const char* def = "DEF") {
        return getPrivateProfileString(s, k, def, ini);
    }
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesDefault) {
    EXPECT_EQ(get("a", "b"), "DEF");
    EXPECT_EQ(getPrivateProfileInt("a", "b", 42, ini), 42);
    writeFile(ini, "[a]\nb=1\n");
    EXPECT_EQ(get("x", "b"), "DEF");
    EXPECT_EQ(get("a", "x"), "DEF");
    // The default loses trailing blanks, as the Windows call does.
    EXPECT_EQ(get("a", "x", "d  \t"), "d");
    EXPECT_EQ(get("a", "x", " d"), " d");
}

TEST_F(ProfileTest, NamesCompareWithoutCaseAndBlanksAreTrimmed) {
    writeFile(ini, "  [ My Section ]  \n   Some Key   =   some value  \n\tTab\t=\tx\t\n");
    EXPECT_EQ(get("my section", "SOME KEY"), "some value");
    EXPECT_EQ(get("MY SECTION", "tab"), "x");
}

TEST_F(ProfileTest, MatchingQuotesAreRemovedOnlyWhenTheyMatch) {
    writeFile(ini,
              "[q]\n"
              "d=\"  spaced  \"\n"
              "s='single'\n"
              "mixed=\"abc'\n"
              "inner=a \"b\" c\n"
              "lone=\"\n"
              "empty=\"\"\n");
    EXPECT_EQ(get("q", "d"), "  spaced  ");
    EXPECT_EQ(get("q", "s"), "single");
    EXPECT_EQ(get("q", "mixed"), "\"abc'");
    EXPECT_EQ(get("q", "inner"), "a \"b\" c");
    EXPECT_EQ(get("q", "lone"), "\"");
    EXPECT_EQ(get("q", "empty"), "");
}

TEST_F(ProfileTest, CommentsAndKeysWithoutValueAreNotValues) {
    writeFile(ini, "[c]\n;k=commented\n  ; also=comment\nnovalue\nempty=\nk=real\n");
    EXPECT_EQ(get("c", ";k"), "DEF");
    EXPECT_EQ(get("c", "k"), "real");
    EXPECT_EQ(get("c", "novalue"), "DEF");
    EXPECT_EQ(get("c", "empty"), "");  // present but empty: not the default
}

TEST_F(ProfileTest, FirstDuplicateSectionAndKeyWin) {
    writeFile(ini, "[d]\nk=first\nk=second\n[other]\nk=o\n[D]\nk=third\nonly_in_second=x\n");
    EXPECT_EQ(get("d", "k"), "first");
    EXPECT_EQ(get("d", "only_in_second"), "DEF");
}

TEST_F(ProfileTest, ValuesAreCutToTheBufferSize) {
    std::string long_value(1000, 'v');
    writeFile(ini, "[l]\nk=" + long_value + "\nu=\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80x\n");
    EXPECT_EQ(get("l", "k").size(), 259u);
    EXPECT_EQ(getPrivateProfileString("l", "k", "", ini, 10), std::string(9, 'v'));
    EXPECT_EQ(getPrivateProfileString("l", "k", "", ini, 1), "");
    EXPECT_EQ(getPrivateProfileString("l", "k", "", ini, 0), "");
    // Two units for the emoji (a surrogate pair): never cut inside a character.
    EXPECT_EQ(getPrivateProfileString("l", "u", "", ini, 4), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(getPrivateProfileString("l", "u", "", ini, 5), "\xC3\xA9\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(getPrivateProfileString("l", "missing", "abcdef", ini, 4), "abc");
}

TEST_F(ProfileTest, IntegersTakeTheLeadingDecimalDigits) {
    writeFile(ini,
              "[i]\nplain=123\nneg=-45\nplus=+7\ntrail=12abc\nspaced=  9 \nword=abc\nempty=\n"
              "hex=0x10\nquoted=\"77\"\nsign=-\nhuge=4294967297\n");
    EXPECT_EQ(getPrivateProfileInt("i", "plain", 5, ini), 123);
    EXPECT_EQ(getPrivateProfileInt("i", "neg", 5, ini), -45);
    EXPECT_EQ(getPrivateProfileInt("i", "plus", 5, ini), 7);
    EXPECT_EQ(getPrivateProfileInt("i", "trail", 5, ini), 12);
    EXPECT_EQ(getPrivateProfileInt("i", "spaced", 5, ini), 9);
    // Present but no number: 0, not the default; empty reads as missing.
    EXPECT_EQ(getPrivateProfileInt("i", "word", 5, ini), 0);
    EXPECT_EQ(getPrivateProfileInt("i", "empty", 5, ini), 5);
    EXPECT_EQ(getPrivateProfileInt("i", "hex", 5, ini), 0);
    EXPECT_EQ(getPrivateProfileInt("i", "quoted", 5, ini), 77);
    EXPECT_EQ(getPrivateProfileInt("i", "sign", 5, ini), 0);
    EXPECT_EQ(getPrivateProfileInt("i", "huge", 5, ini), 1);  // wraps at 32 bits
}

TEST_F(ProfileTest, WriteCreatesFileAndSectionsAndReadsBack) {
    ASSERT_TRUE(writePrivateProfileString("S", "k", "v", ini));
    ASSERT_TRUE(writePrivateProfileString("S", "n", "", ini));
    ASSERT_TRUE(writePrivateProfileString("T", "x", "1", ini));
    EXPECT_EQ(readFile(ini), "[S]\nk=v\nn=\n[T]\nx=1\n");
    EXPECT_EQ(get("s", "K"), "v");
    EXPECT_EQ(get("s", "n"), "");
}

TEST_F(ProfileTest, WriteKeepsEveryOtherLineAndTheOrder) {
    writeFile(ini,
              "; header comment\r\n"
              "[A]\r\n"
              "  Key = old  \r\n"
              "; inside A\r\n"
              "other=1\r\n"
              "\r\n"
              "[B]\r\n"
              "b=2\r\n");
    ASSERT_TRUE(writePrivateProfileString("a", "KEY", "new", ini));
    ASSERT_TRUE(writePrivateProfileString("A", "added", "3", ini));
    ASSERT_TRUE(writePrivateProfileString("B", "b2", "4", ini));
    EXPECT_EQ(readFile(ini),
              "; header comment\r\n"
              "[A]\r\n"
              "Key=new\r\n"
              "; inside A\r\n"
              "other=1\r\n"
              "added=3\r\n"
              "\r\n"
              "[B]\r\n"
              "b=2\r\n"
              "b2=4\r\n");
}

TEST_F(ProfileTest, NoValueRemovesTheKeyAndNoKeyRemovesTheSection) {
    writeFile(ini, "[A]\nk=1\nj=2\n[B]\n; b comment\nx=1\n[C]\ny=2\n");
    ASSERT_TRUE(writePrivateProfileString("A", "K", std::nullopt, ini));
    ASSERT_TRUE(writePrivateProfileString("b", std::nullopt, std::nullopt, ini));
    EXPECT_EQ(readFile(ini), "[A]\nj=2\n[C]\ny=2\n");
    // Removing what is absent changes nothing and is no error.
    ASSERT_TRUE(writePrivateProfileString("A", "missing", std::nullopt, ini));
    ASSERT_TRUE(writePrivateProfileString("Z", std::nullopt, std::nullopt, ini));
    EXPECT_EQ(readFile(ini), "[A]\nj=2\n[C]\ny=2\n");
}

TEST_F(ProfileTest, LoneCarriageReturnsEndLinesAndWritesKeepThem) {
    writeFile(ini, "[a]\rk=1\rj=2\r[b]\rk=3");
    EXPECT_EQ(get("a", "k"), "1");
    EXPECT_EQ(get("a", "j"), "2");
    EXPECT_EQ(get("b", "k"), "3");
    ASSERT_TRUE(writePrivateProfileString("a", "j", "4", ini));
    EXPECT_EQ(readFile(ini), "[a]\rk=1\rj=4\r[b]\rk=3\r");
    // Mixed endings: each one ends a line; CRLF wins for the writes.
    writeFile(ini, "[m]\r\nx=1\ry=2\nz=3\r\n");
    EXPECT_EQ(get("m", "y"), "2");
    ASSERT_TRUE(writePrivateProfileString("m", "w", "0", ini));
    EXPECT_EQ(readFile(ini), "[m]\r\nx=1\r\ny=2\r\nz=3\r\nw=0\r\n");
}

TEST_F(ProfileTest, LineBreaksInNamesOrValuesAreRefused) {
    writeFile(ini, "[S]\nk=old\n");
    for (const char* bad : {"v\n[Evil]\nx=1", "v\rother=2", "\n"}) {
        EXPECT_FALSE(writePrivateProfileString("S", "k", bad, ini));
        EXPECT_FALSE(writePrivateProfileString("S", bad, "v", ini));
        EXPECT_FALSE(writePrivateProfileString(bad, "k", "v", ini));
    }
    EXPECT_EQ(readFile(ini), "[S]\nk=old\n");
}

TEST_F(ProfileTest, InvalidUtf8IsKeptAsItIs) {
    writeFile(ini, "[u]\nend=Caf\xE9\nmid=a\xE9z\nlone=\x80\xFF\ncut=\xF0\x9F\x98\n");
    EXPECT_EQ(get("u", "end"), "Caf\xE9");
    EXPECT_EQ(get("u", "mid"), "a\xE9z");
    EXPECT_EQ(get("u", "lone"), "\x80\xFF");
    EXPECT_EQ(get("u", "cut"), "\xF0\x9F\x98");
    // Each stray byte is one unit when values are cut.
    EXPECT_EQ(getPrivateProfileString("u", "cut", "", ini, 3), "\xF0\x9F");
    ASSERT_TRUE(writePrivateProfileString("u", "w", "x\xC3", ini));
    EXPECT_EQ(get("u", "w"), "x\xC3");
}

TEST_F(ProfileTest, WriteFailsCleanlyWhenTheFolderIsMissing) {
    EXPECT_FALSE(writePrivateProfileString("S", "k", "v", dir / "no" / "such" / "x.ini"));
}

TEST_F(ProfileTest, WriteLeavesNoTemporaryFilesBehind) {
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(writePrivateProfileString("S", "k", std::to_string(i), ini));
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
    EXPECT_EQ(getPrivateProfileInt("S", "k", -1, ini), 19);
}

TEST_F(ProfileTest, ReadsUtf8WithByteOrderMark) {
    writeFile(ini,
              "\xEF\xBB\xBF[Setting]\nname=Gr\xC3\xBC\xC3\x9F"
              "e\n");
    EXPECT_EQ(get("Setting", "name"),
              "Gr\xC3\xBC\xC3\x9F"
              "e");
}

}  // namespace
