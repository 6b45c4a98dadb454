#include <gtest/gtest.h>

#include "app/branding_info.h"
#include "app/language.h"
#include "app/language_file.h"
#include "app/language_menu.h"
#include "app/message_key.h"
#include "app/skin_select.h"
#include "platform/folders.h"
#include "test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using app::LanguageId;
using testsupport::IsolatedHome;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// A program folder of our own with one language file in it.
struct ProgramDir {
    TempDir dir;
    ScopedEnv env{"QUORIN_PROGRAM_DIR", dir.path().string()};
    fs::path languageFile(LanguageId id) const {
        return dir.path() / "language" / std::string(app::languageFileName(id));
    }
    void write(LanguageId id, const std::vector<app::LanguageSection>& sections) const {
        fs::create_directories(dir.path() / "language");
        std::string error;
        ASSERT_TRUE(app::writeLanguageFile(languageFile(id), sections, &error)) << error;
    }
};

struct CurrentLanguage {
    LanguageId saved = app::currentLanguage();
    explicit CurrentLanguage(LanguageId id) { app::setCurrentLanguage(id); }
    ~CurrentLanguage() { app::setCurrentLanguage(saved); }
};

}  // namespace

TEST(LanguageTable, SystemLocaleColumn) {
    // Simplified Chinese locales start in Traditional Chinese; Arabic and Hebrew
    // locales start in English.
    EXPECT_EQ(app::languageFromSystemLcid(2052), LanguageId::ChineseTraditional);
    EXPECT_EQ(app::languageFromSystemLcid(1028), LanguageId::ChineseTraditional);
    EXPECT_EQ(app::languageFromSystemLcid(1025), LanguageId::English);
    EXPECT_EQ(app::languageFromSystemLcid(1037), LanguageId::English);
    EXPECT_EQ(app::languageFromSystemLcid(3082), LanguageId::Spanish);
    EXPECT_EQ(app::languageFromSystemLcid(1038), LanguageId::Hungarian);
    EXPECT_EQ(app::languageFromSystemLcid(1046), LanguageId::English);  // only European Portuguese is listed
    EXPECT_EQ(app::languageFromSystemLcid(0), LanguageId::English);
}

TEST(LanguageTable, LocaleFromEnvironmentInOrder) {
    ScopedEnv all("LC_ALL", std::nullopt), messages("LC_MESSAGES", std::nullopt), lang("LANG", std::nullopt);
    EXPECT_EQ(app::languageFromSystem(), LanguageId::English);
    {
        ScopedEnv l("LANG", "zh_CN.UTF-8");
        EXPECT_EQ(app::languageFromSystem(), LanguageId::ChineseTraditional);
        ScopedEnv m("LC_MESSAGES", "de_AT.UTF-8@euro");  // German, but Austria is not in the column
        EXPECT_EQ(app::languageFromSystem(), LanguageId::English);
        ScopedEnv a("LC_ALL", "ja_JP");
        EXPECT_EQ(app::languageFromSystem(), LanguageId::Japanese);
    }
    ScopedEnv l("LANG", "C.UTF-8");
    EXPECT_EQ(app::languageFromSystem(), LanguageId::English);
    EXPECT_EQ(app::lcidFromLocaleName("fr_FR.UTF-8"), 1036);
    EXPECT_EQ(app::lcidFromLocaleName("pt_BR"), 1046);
    EXPECT_EQ(app::lcidFromLocaleName("ar_AE"), 14337);
    EXPECT_EQ(app::lcidFromLocaleName("xx_YY"), 0);
}

TEST(LanguageTable, ConfigurationLcids) {
    for (int arabic : {1025, 2049, 9217, 14337, 16385})
        EXPECT_EQ(app::languageFromLcid(arabic, LanguageId::German), LanguageId::Arabic) << arabic;
    EXPECT_EQ(app::languageFromLcid(2052, LanguageId::English), LanguageId::ChineseSimplified);
    EXPECT_EQ(app::languageFromLcid(1038, LanguageId::German), LanguageId::English);
    EXPECT_EQ(app::languageFromLcid(12504, LanguageId::English), LanguageId::Hungarian);
    EXPECT_EQ(app::languageFromLcid(12524, LanguageId::English), LanguageId::Danish);
    EXPECT_EQ(app::languageFromLcid(2070, LanguageId::English), LanguageId::Portuguese);
    EXPECT_EQ(app::languageFromLcid(0, LanguageId::Korean), LanguageId::Korean);
    EXPECT_EQ(app::languageFromLcid(424242, LanguageId::Korean), LanguageId::English);
    // What the language menu writes back reads as the same language.
    for (const auto& info : app::languageTable())
        EXPECT_EQ(app::languageFromLcid(app::lcidForLanguage(info.id), LanguageId::Korean), info.id)
            << info.name;
}

TEST(LanguageTable, StartupPrecedenceFromTheStores) {
    ProgramDir program;
    IsolatedHome home;
    ScopedEnv all("LC_ALL", "zh_CN.UTF-8");
    EXPECT_EQ(app::startupLanguage(), LanguageId::ChineseTraditional);

    writeFile(program.dir / "oem.ini", "[LANG]\nLCID=1041\n");
    EXPECT_EQ(app::startupLanguage(), LanguageId::Japanese);
    writeFile(platform::dataDir() / "Config.ini", "[Setting]\nLCID=0\n");
    EXPECT_EQ(app::startupLanguage(), LanguageId::Japanese);
    writeFile(platform::dataDir() / "Config.ini", "[Setting]\nLCID=1031\n");
    EXPECT_EQ(app::startupLanguage(), LanguageId::German);

    writeFile(platform::dataDir() / "Config.ini", "");
    writeFile(program.dir / "oem.ini", "[LANG]\nLCID=2052\n");
    LanguageId id = app::startupLanguage();
    EXPECT_EQ(id, LanguageId::ChineseSimplified);
    EXPECT_EQ(app::languageFileName(id), "cn.dat");
    EXPECT_EQ(app::skinArchiveName(id), "skin/skin_en.skin");
    EXPECT_EQ(app::menuItemName(id), "");

    writeFile(program.dir / "oem.ini", "[LANG]\nLCID=14337\n");
    EXPECT_EQ(app::startupLanguage(), LanguageId::Arabic);
    EXPECT_TRUE(app::isRightToLeft(LanguageId::Arabic));
    EXPECT_TRUE(app::isRightToLeft(LanguageId::Hebrew));
    EXPECT_FALSE(app::isRightToLeft(LanguageId::Turkish));
}

TEST(LanguageTable, NamesAndMenuItems) {
    EXPECT_EQ(app::languageTable().size(), 23u);
    EXPECT_EQ(app::languageFileName(LanguageId::Greek), "cy.dat");
    EXPECT_EQ(app::skinArchiveName(LanguageId::ChineseTraditional), "skin/skin_tr.skin");
    EXPECT_EQ(app::languageFileName(static_cast<LanguageId>(7)), "en.dat");
    EXPECT_EQ(app::skinArchiveName(static_cast<LanguageId>(7)), "skin/skin_en.skin");
    EXPECT_EQ(app::languageFromMenuItem("MENUhu"), LanguageId::Hungarian);
    EXPECT_EQ(app::languageFromMenuItem("menuEn"), LanguageId::English);
    EXPECT_FALSE(app::languageFromMenuItem("menuCN"));
    EXPECT_FALSE(app::languageFromMenuItem(""));
    auto checks = app::languageMenuChecks(LanguageId::Danish);
    ASSERT_EQ(checks.size(), 22u);
    EXPECT_EQ(std::count_if(checks.begin(), checks.end(), [](auto& c) { return c.second; }), 1);
    for (auto& [item, checked] : checks) {
        if (checked) {
            EXPECT_EQ(item, "menuDK");
        }
    }
}

TEST(LanguageMenu, PromptsOnlyForAnotherLanguage) {
    int asked = 0, restarted = 0;
    std::vector<LanguageId> written, rechecked;
    bool answer = false;
    app::LanguageMenuActions actions{[&] {
                                         ++asked;
                                         return answer;
                                     },
                                     [&](LanguageId id) { written.push_back(id); }, [&] { ++restarted; },
                                     [&](LanguageId id) { rechecked.push_back(id); }};

    EXPECT_EQ(app::onLanguageMenu("menuFR", LanguageId::French, actions), app::LanguageMenuResult::Unchanged);
    EXPECT_EQ(app::onLanguageMenu("menuAbout", LanguageId::French, actions),
              app::LanguageMenuResult::Ignored);
    EXPECT_EQ(asked, 0);

    EXPECT_EQ(app::onLanguageMenu("menude", LanguageId::French, actions), app::LanguageMenuResult::Declined);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(rechecked, std::vector<LanguageId>{LanguageId::French});

    answer = true;
    EXPECT_EQ(app::onLanguageMenu("menuDK", LanguageId::French, actions),
              app::LanguageMenuResult::Restarting);
    EXPECT_EQ(written, std::vector<LanguageId>{LanguageId::Danish});
    EXPECT_EQ(restarted, 1);
}

TEST(LanguageFile, LookupRules) {
    ProgramDir program;
    CurrentLanguage current(LanguageId::German);
    std::string long_value(300, 'x');
    std::string emoji_cut = std::string(258, 'y') + "\xF0\x9F\x98\x80";  // a pair across the 259 limit
    program.write(LanguageId::German, {{"Text",
                                        {{"Greeting", "Hallo"},
                                         {"Greeting", "second"},
                                         {"greeting", "lower"},
                                         {"Long", long_value},
                                         {"Pair", emoji_cut},
                                         {"Empty", ""},
                                         {"Umlaut", "Größe – 大小"}}},
                                       {"Message", {{"Title", "Konverter"}}}});
    EXPECT_EQ(app::getText("Greeting"), "Hallo");
    EXPECT_EQ(app::getText("greeting"), "lower");
    EXPECT_EQ(app::getText("Long"), std::string(259, 'x'));
    EXPECT_EQ(app::getText("Pair"), std::string(258, 'y'));
    EXPECT_EQ(app::getText("Umlaut"), "Größe – 大小");
    EXPECT_EQ(app::getText("Empty"), "");
    EXPECT_EQ(app::getText("Title", "Message"), "Konverter");
    EXPECT_EQ(app::getText("Title"), "");              // wrong section
    EXPECT_EQ(app::getText("Greeting", "Other"), "");  // missing stream
    EXPECT_EQ(app::getText("Missing"), "");

    app::setCurrentLanguage(LanguageId::French);  // no file for it
    EXPECT_EQ(app::getText("Greeting"), "");
}

TEST(LanguageFile, StreamWalkIsSafeOnOddContent) {
    // Entries without '=' are skipped, the empty entry ends the walk, and a stream cut
    // at the size limit still ends its last entry cleanly.
    std::u16string text =
        std::u16string(u"noequals") + u'\0' + u"Key=first" + u'\0' + u'\0' + u"Late=x" + u'\0';
    EXPECT_EQ(app::findLanguageEntry(text, u"Key"), u"first");
    EXPECT_FALSE(app::findLanguageEntry(text, u"Late"));
    EXPECT_FALSE(app::findLanguageEntry(text, u"noequals"));
    EXPECT_EQ(app::findLanguageEntry(u"A=unterminated", u"A"), u"unterminated");

    std::string huge(app::kLanguageStreamMaxBytes + 1001, '\0');
    EXPECT_EQ(app::decodeLanguageStream(huge).size(), app::kLanguageStreamMaxBytes / 2);
    std::string odd(7, '\0');
    EXPECT_EQ(app::decodeLanguageStream(odd).size(), 3u);

    // The stored bytes are scrambled: the plain UTF-16 of a key never appears.
    std::string bytes = app::encodeLanguageStream({"Text", {{"Secret", "Value"}}});
    EXPECT_EQ(bytes.size() % 4, 0u);
    std::string plain_key = "S\0e\0c\0r\0e\0t\0";
    EXPECT_EQ(bytes.find(std::string(plain_key.data(), 12)), std::string::npos);
    EXPECT_EQ(app::findLanguageEntry(app::decodeLanguageStream(bytes), u"Secret"), u"Value");
}

TEST(LanguageFile, WriterRefusesWhatTheReaderCannotHold) {
    TempDir dir;
    std::string error;
    std::string big(70000, 'z');  // 140,000 bytes in UTF-16
    EXPECT_FALSE(app::writeLanguageFile(dir / "x.dat", {{"Text", {{"Big", big}}}}, &error));
    EXPECT_NE(error.find("131072"), std::string::npos);
    EXPECT_FALSE(app::writeLanguageFile(dir / "x.dat", {{"Text", {{"a=b", "c"}}}}, &error));
    EXPECT_FALSE(fs::exists(dir / "x.dat"));
    EXPECT_FALSE(app::writeLanguageFile(dir / "missing" / "x.dat", {{"Text", {}}}, &error));
    // Section names that the file could not give back as written: a NUL would cut
    // "Te\0xt" to "Te", bytes that are no UTF-8 would change, and twins differing in
    // case would be one stream.
    for (std::string bad : {std::string("Te\0xt", 5), std::string("Te\xFFxt"), std::string("Te\xC3"),
                            std::string("a/b"), std::string("a:b"), std::string(32, 'x')}) {
        EXPECT_FALSE(app::writeLanguageFile(dir / "x.dat", {{bad, {{"k", "v"}}}}, &error)) << bad;
        EXPECT_NE(error.find("invalid section name"), std::string::npos);
    }
    EXPECT_FALSE(
        app::writeLanguageFile(dir / "x.dat", {{"Text", {{"k", "1"}}}, {"TEXT", {{"k", "2"}}}}, &error));
    EXPECT_FALSE(fs::exists(dir / "x.dat"));
    // Non-ASCII names of up to 31 UTF-16 units are kept.
    std::string wide_name;
    for (int i = 0; i < 31; ++i)
        wide_name += "\xC3\xA9";
    ASSERT_TRUE(
        app::writeLanguageFile(dir / "x.dat", {{wide_name, {{"k", "v"}}}, {"Text", {{"k", "t"}}}}, &error))
        << error;
    auto stream = app::readLanguageStream(dir / "x.dat", wide_name);
    ASSERT_TRUE(stream);
    EXPECT_EQ(app::findLanguageEntry(app::decodeLanguageStream(*stream), u"k"), u"v");
}

TEST(LanguageFile, ReplacedFileIsSeenAndGarbageGivesEmpty) {
    ProgramDir program;
    CurrentLanguage current(LanguageId::English);
    program.write(LanguageId::English, {{"Text", {{"Name", "one"}}}});
    EXPECT_EQ(app::getText("Name"), "one");
    // Same size, written right away: the cache must not hide the change.
    program.write(LanguageId::English, {{"Text", {{"Name", "two"}}}});
    EXPECT_EQ(app::getText("Name"), "two");
    {
        std::ofstream(program.languageFile(LanguageId::English), std::ios::binary | std::ios::trunc)
            << "not a compound file";
    }
    EXPECT_EQ(app::getText("Name"), "");
    fs::remove(program.languageFile(LanguageId::English));
    EXPECT_EQ(app::getText("Name"), "");
    program.write(LanguageId::English, {{"Text", {{"Name", "three"}}}});
    EXPECT_EQ(app::getText("Name"), "three");
}

TEST(LanguageFile, ThousandLookupsAreFast) {
    ProgramDir program;
    CurrentLanguage current(LanguageId::English);
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 0; i < 400; ++i)
        entries.emplace_back("Key" + std::to_string(i), "Some text number " + std::to_string(i));
    program.write(LanguageId::English, {{"Text", entries}});

    using clock = std::chrono::steady_clock;
    using ms = std::chrono::duration<double, std::milli>;
    auto t0 = clock::now();
    auto bytes = app::readLanguageStream(program.languageFile(LanguageId::English), "Text");
    ASSERT_TRUE(bytes);
    ms once = clock::now() - t0;

    auto thousandLookups = [] {
        auto start = clock::now();
        std::size_t found = 0;
        for (int i = 0; i < 1000; ++i)
            found += !app::getText("Key" + std::to_string(i % 400)).empty();
        EXPECT_EQ(found, 1000u);
        return ms(clock::now() - start);
    };
    // A file changed a moment ago is read again on every lookup (its time stamps
    // cannot yet tell a rewrite apart); once settled, a lookup costs one stat.
    ms fresh = thousandLookups();
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    ms settled = thousandLookups();
    EXPECT_LT(settled.count(), 1000.0);
    EXPECT_LT(fresh.count(), 5000.0);
    std::printf(
        "[ bench    ] 1000 getText: %.2f ms settled, %.2f ms just written; one stream read %.3f ms; "
        "ratios %.1f and %.1f\n",
        settled.count(), fresh.count(), once.count(), settled / once, fresh / once);
}

TEST(LanguageFile, FillTextFormatNeverOverreads) {
    std::vector<std::string> one{"movie.mp4"};
    EXPECT_EQ(app::fillTextFormat("Remove \"%s\"?", one), "Remove \"movie.mp4\"?");
    EXPECT_EQ(app::fillTextFormat("%s and %s and %d", one), "movie.mp4 and  and ");
    EXPECT_EQ(app::fillTextFormat("100%% sure %ls%q", one), "100% sure movie.mp4%q");
    // Right to left: each value isolated, so a name with brackets and digits keeps its order.
    const std::string name[] = {"clip (1).mp4"};
    EXPECT_EQ(app::fillTextFormat("\u05dc\u05d4\u05e1\u05d9\u05e8 \"%s\"?", name),
              "\u05dc\u05d4\u05e1\u05d9\u05e8 \"\u2068clip (1).mp4\u2069\"?");
    EXPECT_EQ(app::fillTextFormat("\u062d\u0630\u0641 %s", name),
              "\u062d\u0630\u0641 \u2068clip (1).mp4\u2069");
    EXPECT_EQ(app::fillTextFormat("trailing %", one), "trailing %");
}

TEST(MessageKeys, Base64RoundTripAndEveryKeyDecodes) {
    EXPECT_EQ(app::message_key::ClearVideo.decode(), "ClearVideo");
    EXPECT_EQ(app::message_key::WaitForConver.decode(), "WaitForConver");
    EXPECT_NE(app::message_key::ClearVideo.base64(), "ClearVideo");
    for (const auto& key : app::allMessageKeys()) {
        std::string id = key.decode();
        EXPECT_FALSE(id.empty()) << key.base64();
        EXPECT_EQ(app::encodeBase64(id), key.base64());
    }
    EXPECT_EQ(app::decodeBase64(""), "");
    EXPECT_EQ(app::decodeBase64("TWE="), "Ma");
    EXPECT_FALSE(app::decodeBase64("TWE"));
    EXPECT_FALSE(app::decodeBase64("T=E="));
    EXPECT_FALSE(app::decodeBase64("TW!="));
    EXPECT_EQ(app::MessageKey("%%%%").decode(), "");
}

TEST(SkinSelect, ArchiveOfTheLanguageOrNothing) {
    ProgramDir program;
    app::BrandingInfo branding;
    EXPECT_FALSE(app::selectSkinArchive(LanguageId::English, branding));
    fs::create_directories(program.dir / "skin");
    writeFile(program.dir / "skin" / "skin_en.skin", "zip");
    EXPECT_FALSE(app::selectSkinArchive(LanguageId::German, branding));  // no fallback to English
    EXPECT_TRUE(app::selectSkinArchive(LanguageId::ChineseSimplified, branding));
    EXPECT_EQ(branding.skin_file, "skin_en.skin");
    EXPECT_EQ(branding.skin_folder, program.dir / "skin");
}

// The shipped English file: readable by another compound-file tool, and carrying
// every text the program asks for.
TEST(ShippedLanguage, EnglishFileIsCompleteAndReadableByOtherTools) {
    fs::path file = fs::path(QUORIN_TEST_PROGRAM_DIR) / "language" / "en.dat";
    ASSERT_TRUE(fs::exists(file)) << "the language files are built before the tests";
    for (const auto& key : app::allMessageKeys())
        EXPECT_FALSE(app::getTextFrom(file, key.decode(), "Message").empty()) << key.decode();
    for (const char* key : {"ProductName",
                            "SkinLost",
                            "ExceptInfo",
                            "MergeFileName",
                            "FilterVideo",
                            "FilterAudio",
                            "BtnConverTxt",
                            "BtnExtractTxt",
                            "BtnMergeTxt",
                            "FormatOriginText",
                            "CompressFormatOriginText",
                            "CompressLowText",
                            "CompressMidText",
                            "CompressHighText",
                            "TextVideoInfo1",
                            "TextVideoInfo2",
                            "TextVideoInfo3",
                            "TextVideoInfo4",
                            "TextVideoInfo8",
                            "TextVideoInfo9",
                            "TextVideoInfo11",
                            "Feedback",
                            "Information"})
        EXPECT_FALSE(app::getTextFrom(file, key).empty()) << key;
    for (const char* key :
         {"Title", "Error", "RestartApp", "MergeNeed2Video", "NoSupport", "TransformSuccess",
          "ErrWhenRunUpdateInstallFile", "DownloadFailure", "BitRateTooLog", "FPSTooLog"})
        EXPECT_FALSE(app::getTextFrom(file, key, "Message").empty()) << key;

    auto listing = testsupport::runTool({"gsf", "list", file.string()});
    ASSERT_GE(listing.exit_code, 0) << "gsf comes with libgsf-bin (scripts/quorin installs it)";
    EXPECT_EQ(listing.exit_code, 0) << listing.output;
    EXPECT_NE(listing.output.find("Text"), std::string::npos) << listing.output;
    EXPECT_NE(listing.output.find("Message"), std::string::npos) << listing.output;
}

TEST(LanguageFile, LookupsFromSeveralThreadsWhileTheFileIsReplaced) {
    ProgramDir program;
    CurrentLanguage current(LanguageId::English);
    program.write(LanguageId::English, {{"Text", {{"Name", "old"}}}, {"Message", {{"Title", "T"}}}});
    std::atomic<bool> bad{false};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&] {
            for (int i = 0; i < 150; ++i) {
                std::string name = app::getText("Name");
                // Each read sees one whole file or none (between the writer's steps).
                if (name != "old" && name != "new" && !name.empty())
                    bad = true;
                if (app::getText("Title", "Message") != "T")
                    bad = true;
            }
        });
    for (int i = 0; i < 20; ++i)
        program.write(LanguageId::English,
                      {{"Text", {{"Name", i % 2 ? "old" : "new"}}}, {"Message", {{"Title", "T"}}}});
    for (auto& t : readers)
        t.join();
    EXPECT_FALSE(bad);
}
