// The shipped language sources (lang/*.txt) against English, and what the build
// makes of them.

#include <gtest/gtest.h>

#include "app/language.h"
#include "app/language_menu.h"
#include "lang_source.h"
#include "test_support.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kLangDir = fs::path(QUORIN_TEST_SOURCE_DIR) / "lang";
const fs::path kProgramDir = QUORIN_TEST_PROGRAM_DIR;

using Texts = std::map<std::pair<std::string, std::string>, std::string>;  // (section, key) -> value

Texts load(const fs::path& file) {
    std::string error;
    auto sections = tools::readLanguageSource(file, &error);
    EXPECT_TRUE(sections) << error;
    Texts texts;
    if (sections)
        for (const auto& section : *sections)
            for (const auto& [key, value] : section.entries)
                texts[{section.name, key}] = value;
    return texts;
}

// The placeholders fillTextFormat fills, in order: "%s", "%d", "%x", with an
// optional length modifier ("%ls", "%lld"); "%%" is a literal percent sign.
std::vector<std::string> placeholders(std::string_view text) {
    static const std::regex re("%%|%(?:l|ll|h)?[sdxuiX]");
    std::vector<std::string> found;
    std::string s(text);
    for (auto it = std::sregex_iterator(s.begin(), s.end(), re); it != std::sregex_iterator(); ++it)
        if (it->str() != "%%")
            found.push_back(it->str());
    return found;
}

// Values that are the same word in English and in many other languages.
const std::set<std::string> kSameInEnglish = {
    "Quorin Video Converter",
    "OK",
    "No",
    "Error",
    "General",
    "Original",
    "Version",
    "Feedback",
    "kbit/s",
    "fps",
};

std::string languageName(const app::LanguageInfo& info) {
    return std::string(info.code);
}

}  // namespace

TEST(LanguageFiles, EveryLanguageHasEnglishKeysFilledWithItsOwnTexts) {
    const Texts english = load(kLangDir / "en.txt");
    ASSERT_GT(english.size(), 50u);
    for (const app::LanguageInfo& info : app::languageTable()) {
        if (info.id == app::LanguageId::English)
            continue;
        SCOPED_TRACE(languageName(info));
        const fs::path file = kLangDir / (std::string(info.code) + ".txt");
        ASSERT_TRUE(fs::exists(file)) << file;
        const Texts texts = load(file);
        for (const auto& [where, value] : english) {
            auto it = texts.find(where);
            if (it == texts.end()) {
                ADD_FAILURE() << "missing [" << where.first << "] " << where.second;
                continue;
            }
            const std::string& translated = it->second;
            EXPECT_NE(translated.find_first_not_of(" \t\n"), std::string::npos) << "empty " << where.second;
            EXPECT_EQ(placeholders(translated), placeholders(value)) << where.second << "=" << translated;
            if (!kSameInEnglish.count(value)) {
                EXPECT_NE(translated, value) << where.second << " is still English";
            }
        }
        for (const auto& [where, value] : texts) {
            EXPECT_TRUE(english.count(where))
                << "[" << where.first << "] " << where.second << " is not in en.txt";
        }
    }
}

TEST(LanguageFiles, NoSourceWithoutALanguageAndTheHintNamesTheButton) {
    std::set<std::string> codes;
    for (const app::LanguageInfo& info : app::languageTable())
        codes.insert(std::string(info.code));
    for (const auto& entry : fs::directory_iterator(kLangDir))
        if (entry.path().extension() == ".txt") {
            EXPECT_TRUE(codes.count(entry.path().stem().string())) << entry.path();
        }

    // The empty list's hint quotes the add button, so the two must agree.
    for (const app::LanguageInfo& info : app::languageTable()) {
        const Texts texts = load(kLangDir / (std::string(info.code) + ".txt"));
        const std::string button =
            texts.count({"Text", "BtnAddFiles"}) ? texts.at({"Text", "BtnAddFiles"}) : "";
        const std::string hint =
            texts.count({"Text", "EmptyListHint"}) ? texts.at({"Text", "EmptyListHint"}) : "";
        EXPECT_FALSE(button.empty()) << info.code;
        EXPECT_NE(hint.find(button), std::string::npos) << info.code << ": " << hint;
    }
}

TEST(LanguageFiles, EveryLayoutTextHasAnEnglishKey) {
    const Texts english = load(kLangDir / "en.txt");
    static const std::regex key_re(R"(%\{([A-Za-z0-9_]+)\})");
    int found = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(QUORIN_TEST_SOURCE_DIR) / "skin")) {
        if (entry.path().extension() != ".xml")
            continue;
        std::ifstream in(entry.path());
        std::stringstream content;
        content << in.rdbuf();
        const std::string xml = content.str();
        for (auto it = std::sregex_iterator(xml.begin(), xml.end(), key_re); it != std::sregex_iterator();
             ++it) {
            ++found;
            EXPECT_TRUE(english.count({"Text", (*it)[1].str()}))
                << entry.path().filename() << ": " << it->str();
        }
    }
    EXPECT_GT(found, 20);
}

// What the build made: a language file per language, an archive per language except
// Simplified Chinese, and texts that read back as written.
TEST(LanguageFiles, BuiltFilesAndArchivesPerLanguage) {
    ASSERT_TRUE(fs::exists(kProgramDir / "language" / "en.dat")) << "language files not built";
    for (const app::LanguageInfo& info : app::languageTable()) {
        SCOPED_TRACE(languageName(info));
        const fs::path dat = kProgramDir / "language" / std::string(info.file);
        ASSERT_TRUE(fs::exists(dat));
        const Texts texts = load(kLangDir / (std::string(info.code) + ".txt"));
        for (const char* key : {"BtnCancel", "SettingBitRateHint"})
            EXPECT_EQ(app::getTextFrom(dat, key), texts.at({"Text", key}));
        EXPECT_EQ(app::getTextFrom(dat, "RestartApp", "Message"), texts.at({"Message", "RestartApp"}));

        const fs::path own_archive = kProgramDir / "skin" / ("skin_" + std::string(info.code) + ".skin");
        EXPECT_EQ(fs::exists(own_archive), info.id != app::LanguageId::ChineseSimplified) << own_archive;
        EXPECT_TRUE(fs::exists(kProgramDir / std::string(app::skinArchiveName(info.id))));
    }
}

TEST(LanguageMenu, TwentyTwoItemsWithTheMarkOnTheCurrentLanguage) {
    for (const app::LanguageInfo& info : app::languageTable()) {
        SCOPED_TRACE(languageName(info));
        auto checks = app::languageMenuChecks(info.id);
        ASSERT_EQ(checks.size(), 22u);
        std::vector<std::string_view> checked;
        for (const auto& [item, on] : checks) {
            if (on)
                checked.push_back(item);
            EXPECT_TRUE(app::languageFromMenuItem(item)) << item;
        }
        if (info.menu_item.empty()) {
            EXPECT_TRUE(checked.empty());
        } else {
            ASSERT_EQ(checked.size(), 1u);
            EXPECT_EQ(checked[0], info.menu_item);
            EXPECT_EQ(app::languageFromMenuItem(checked[0]), info.id);
        }
    }
}
