#include "app/language.h"

#include "app/language_file.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "platform/strings.h"
#include "platform/time.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <unordered_map>

namespace app {
namespace {

using L = LanguageId;

constexpr std::array<LanguageInfo, 23> kLanguages{{
    {L::English, "English", "en", "en.dat", "skin/skin_en.skin", "menuEn"},
    {L::Portuguese, "Portuguese", "pt", "pt.dat", "skin/skin_pt.skin", "menuPT"},
    {L::French, "French", "fr", "fr.dat", "skin/skin_fr.skin", "menuFR"},
    {L::Arabic, "Arabic", "ar", "ar.dat", "skin/skin_ar.skin", "menuAR"},
    {L::Russian, "Russian", "ru", "ru.dat", "skin/skin_ru.skin", "menuRU"},
    {L::Japanese, "Japanese", "jp", "jp.dat", "skin/skin_jp.skin", "menuJP"},
    // Simplified Chinese has a language file but no archive or menu item of its own.
    {L::ChineseSimplified, "Chinese (Simplified)", "cn", "cn.dat", "skin/skin_en.skin", ""},
    {L::ChineseTraditional, "Chinese (Traditional)", "tr", "tr.dat", "skin/skin_tr.skin", "menuTR"},
    {L::Swedish, "Swedish", "se", "se.dat", "skin/skin_se.skin", "menuSE"},
    {L::Indonesian, "Indonesian", "id", "id.dat", "skin/skin_id.skin", "menuID"},
    {L::German, "German", "de", "de.dat", "skin/skin_de.skin", "menuDE"},
    {L::Spanish, "Spanish", "es", "es.dat", "skin/skin_es.skin", "menuES"},
    {L::Greek, "Greek", "cy", "cy.dat", "skin/skin_cy.skin", "menuCY"},
    {L::Turkish, "Turkish", "tk", "tk.dat", "skin/skin_tk.skin", "menuTK"},
    {L::Hebrew, "Hebrew", "il", "il.dat", "skin/skin_il.skin", "menuIL"},
    {L::Korean, "Korean", "ko", "ko.dat", "skin/skin_ko.skin", "menuKO"},
    {L::Italian, "Italian", "it", "it.dat", "skin/skin_it.skin", "menuIT"},
    {L::Dutch, "Dutch", "nl", "nl.dat", "skin/skin_nl.skin", "menuNL"},
    {L::Polish, "Polish", "pl", "pl.dat", "skin/skin_pl.skin", "menuPL"},
    {L::Czech, "Czech", "cz", "cz.dat", "skin/skin_cz.skin", "menuCZ"},
    {L::Romanian, "Romanian", "md", "md.dat", "skin/skin_md.skin", "menuMD"},
    {L::Hungarian, "Hungarian", "hu", "hu.dat", "skin/skin_hu.skin", "menuHU"},
    {L::Danish, "Danish", "dk", "dk.dat", "skin/skin_dk.skin", "menuDK"},
}};

struct LcidLanguage {
    int lcid;
    LanguageId id;
};

// The system-locale column: which locales start in which language.
constexpr LcidLanguage kSystemLcids[] = {
    {2070, L::Portuguese},
    {1036, L::French},
    {1049, L::Russian},
    {1041, L::Japanese},
    {1028, L::ChineseTraditional},
    {2052, L::ChineseTraditional},
    {1053, L::Swedish},
    {1057, L::Indonesian},
    {1031, L::German},
    {1034, L::Spanish},
    {3082, L::Spanish},
    {1032, L::Greek},
    {1055, L::Turkish},
    {1042, L::Korean},
    {1040, L::Italian},
    {1043, L::Dutch},
    {1045, L::Polish},
    {1029, L::Czech},
    {1048, L::Romanian},
    {1038, L::Hungarian},
    {1030, L::Danish},
};

// The table for LCIDs kept in the configuration stores; it differs from the
// system-locale column on purpose (2052 means Simplified Chinese here, Arabic and
// Hebrew are reachable, Hungarian and Danish are stored as their language ids).
constexpr LcidLanguage kConfigLcids[] = {
    {1028, L::ChineseTraditional},
    {2052, L::ChineseSimplified},
    {1029, L::Czech},
    {1031, L::German},
    {1032, L::Greek},
    {1034, L::Spanish},
    {1036, L::French},
    {1037, L::Hebrew},
    {1040, L::Italian},
    {1041, L::Japanese},
    {1042, L::Korean},
    {1043, L::Dutch},
    {1045, L::Polish},
    {1046, L::Portuguese},
    {2070, L::Portuguese},
    {1048, L::Romanian},
    {1049, L::Russian},
    {1053, L::Swedish},
    {1055, L::Turkish},
    {1057, L::Indonesian},
    {12504, L::Hungarian},
    {12524, L::Danish},
};

constexpr int kArabicLcids[] = {1025, 2049,  3073,  4097,  5121,  6145,  7169,  8193,
                                9217, 10241, 11265, 12289, 13313, 14337, 15361, 16385};

struct LocaleLcid {
    std::string_view language;   // ISO 639 code of the POSIX locale name
    std::string_view territory;  // empty: the language's default
    int lcid;
};

// Windows LCIDs of POSIX locale names, for the languages the program knows about.
constexpr LocaleLcid kLocaleLcids[] = {
    {"en", "", 1033},    {"pt", "", 2070},    {"pt", "PT", 2070},  {"pt", "BR", 1046},  {"fr", "", 1036},
    {"fr", "BE", 2060},  {"fr", "CA", 3084},  {"fr", "CH", 4108},  {"ar", "", 1025},    {"ar", "SA", 1025},
    {"ar", "IQ", 2049},  {"ar", "EG", 3073},  {"ar", "LY", 4097},  {"ar", "DZ", 5121},  {"ar", "MA", 6145},
    {"ar", "TN", 7169},  {"ar", "OM", 8193},  {"ar", "YE", 9217},  {"ar", "SY", 10241}, {"ar", "JO", 11265},
    {"ar", "LB", 12289}, {"ar", "KW", 13313}, {"ar", "AE", 14337}, {"ar", "BH", 15361}, {"ar", "QA", 16385},
    {"ru", "", 1049},    {"ja", "", 1041},    {"zh", "", 2052},    {"zh", "CN", 2052},  {"zh", "SG", 4100},
    {"zh", "TW", 1028},  {"zh", "HK", 3076},  {"zh", "MO", 5124},  {"sv", "", 1053},    {"sv", "FI", 2077},
    {"id", "", 1057},    {"de", "", 1031},    {"de", "CH", 2055},  {"de", "AT", 3079},  {"de", "LU", 4103},
    {"es", "", 3082},    {"es", "MX", 2058},  {"el", "", 1032},    {"tr", "", 1055},    {"he", "", 1037},
    {"iw", "", 1037},    {"ko", "", 1042},    {"it", "", 1040},    {"it", "CH", 2064},  {"nl", "", 1043},
    {"nl", "BE", 2067},  {"pl", "", 1045},    {"cs", "", 1029},    {"ro", "", 1048},    {"hu", "", 1038},
    {"da", "", 1030},
};

std::atomic<std::uint16_t> g_current_language{0};

const LanguageInfo* findInfo(LanguageId id) {
    for (const auto& info : kLanguages)
        if (info.id == id)
            return &info;
    return nullptr;
}

// A replaced or rewritten language file must be seen by the next lookup, yet 1,000
// lookups must not mean 1,000 file reads and parses. Each lookup stats the file; the
// parsed sections are reused while the file keeps its identity (device, inode,
// size, modification and change times). Because a file system stamps changes with a
// coarse clock, an identity whose change time is still recent proves nothing: then
// the file is read again and its bytes compared with those of the last parse.
class LanguageFileCache {
public:
    std::optional<std::u16string> lookup(const std::filesystem::path& file, std::string_view section,
                                         std::u16string_view key) {
        const std::optional<platform::FileIdentity> current = platform::fileIdentity(file);
        if (!current)
            return std::nullopt;
        std::lock_guard lock(mutex_);
        Entry& entry = files_[file.string()];
        if (!(entry.loaded && entry.identity == *current && settled(*current))) {
            platform::FileIdentity identity;
            std::optional<std::string> bytes = platform::readWholeFile(file, kMaxFileBytes, &identity);
            if (!bytes) {
                entry = Entry{};
                return std::nullopt;
            }
            if (!entry.loaded || entry.bytes != *bytes) {
                entry = Entry{};
                entry.bytes = std::move(*bytes);
                entry.loaded = true;
            }
            entry.identity = identity;
        }
        auto it = entry.sections.find(section);
        if (it == entry.sections.end()) {
            std::optional<Index> index;
            if (auto stream = readLanguageStreamFrom(entry.bytes, section)) {
                index.emplace();
                const std::u16string text = decodeLanguageStream(*stream);
                for (const auto& [k, v] : listLanguageEntries(text))
                    index->emplace(k, v);  // emplace keeps the first of duplicate keys
            }
            it = entry.sections.emplace(std::string(section), std::move(index)).first;
        }
        if (!it->second)
            return std::nullopt;
        auto found = it->second->find(std::u16string(key));
        if (found == it->second->end())
            return std::nullopt;
        return found->second;
    }

private:
    // A language file is a few kilobytes; anything beyond this is not one of ours.
    static constexpr std::int64_t kMaxFileBytes = 8 << 20;
    // Longer than any file-system time stamp granularity.
    static constexpr std::int64_t kSettleMicros = 2'000'000;

    static bool settled(const platform::FileIdentity& identity) {
        return platform::nowMicros() - identity.changed_ns / 1000 > kSettleMicros;
    }

    using Index = std::unordered_map<std::u16string, std::u16string>;
    struct Entry {
        bool loaded = false;
        platform::FileIdentity identity;
        std::string bytes;
        std::map<std::string, std::optional<Index>, std::less<>> sections;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> files_;  // guarded by mutex_
};

LanguageFileCache& fileCache() {
    static LanguageFileCache cache;
    return cache;
}

}  // namespace

std::span<const LanguageInfo> languageTable() {
    return kLanguages;
}

const LanguageInfo& languageInfo(LanguageId id) {
    const LanguageInfo* info = findInfo(id);
    return info ? *info : kLanguages[0];
}

std::string_view languageFileName(LanguageId id) {
    return languageInfo(id).file;
}
std::string_view skinArchiveName(LanguageId id) {
    return languageInfo(id).skin_archive;
}
std::string_view languageCode(LanguageId id) {
    return languageInfo(id).code;
}

std::string_view menuItemName(LanguageId id) {
    const LanguageInfo* info = findInfo(id);
    return info ? info->menu_item : std::string_view{};
}

bool isRightToLeft(LanguageId id) {
    return id == L::Arabic || id == L::Hebrew;
}

LanguageId languageFromSystemLcid(int lcid) {
    for (const auto& e : kSystemLcids)
        if (e.lcid == lcid)
            return e.id;
    return L::English;
}

int lcidFromLocaleName(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    std::size_t stop = locale.find_first_of(".@");
    if (stop != std::string_view::npos)
        locale = locale.substr(0, stop);
    std::string_view language = locale, territory;
    if (std::size_t us = locale.find_first_of("_-"); us != std::string_view::npos) {
        language = locale.substr(0, us);
        territory = locale.substr(us + 1);
    }
    if (language.empty() || platform::equalsNoCase(locale, "C") || platform::equalsNoCase(locale, "POSIX"))
        return 0;
    int fallback = 0;
    for (const auto& e : kLocaleLcids) {
        if (!platform::equalsNoCase(e.language, language))
            continue;
        if (!territory.empty() && platform::equalsNoCase(e.territory, territory))
            return e.lcid;
        if (e.territory.empty())
            fallback = e.lcid;
    }
    return fallback;
}

LanguageId languageFromSystem() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return languageFromSystemLcid(lcidFromLocaleName(value));
    }
    return L::English;
}

LanguageId languageFromLcid(int lcid, LanguageId current) {
    if (lcid == 0)
        return current;
    if (std::find(std::begin(kArabicLcids), std::end(kArabicLcids), lcid) != std::end(kArabicLcids))
        return L::Arabic;
    for (const auto& e : kConfigLcids)
        if (e.lcid == lcid)
            return e.id;
    return L::English;
}

LanguageId resolveStartupLanguage(LanguageId system_language, int oem_lcid, int user_lcid) {
    return languageFromLcid(user_lcid, languageFromLcid(oem_lcid, system_language));
}

LanguageId startupLanguage() {
    int oem = platform::getPrivateProfileInt("LANG", "LCID", 0, platform::programDir() / "oem.ini");
    int user = platform::getPrivateProfileInt("Setting", "LCID", 0, platform::dataDir() / "Config.ini");
    return resolveStartupLanguage(languageFromSystem(), oem, user);
}

std::optional<LanguageId> languageFromMenuItem(std::string_view item_name) {
    if (item_name.empty())
        return std::nullopt;
    for (const auto& info : kLanguages)
        if (!info.menu_item.empty() && platform::equalsNoCase(info.menu_item, item_name))
            return info.id;
    return std::nullopt;
}

void setCurrentLanguage(LanguageId id) {
    g_current_language.store(static_cast<std::uint16_t>(id), std::memory_order_relaxed);
}

LanguageId currentLanguage() {
    return static_cast<LanguageId>(g_current_language.load(std::memory_order_relaxed));
}

std::filesystem::path languageFilePath(LanguageId id) {
    return platform::programDir() / "language" / std::string(languageFileName(id));
}

std::string getTextFrom(const std::filesystem::path& language_file, std::string_view key,
                        std::string_view section) {
    auto value = fileCache().lookup(language_file, section, utf8ToUtf16(key));
    return value ? utf16ToUtf8(*value) : std::string();
}

std::string getText(std::string_view key, std::string_view section) {
    return getTextFrom(languageFilePath(currentLanguage()), key, section);
}

namespace {

// True when the text holds a letter of a right-to-left script: Hebrew, Arabic, Syriac,
// Thaana and their presentation forms.
bool hasRightToLeftLetters(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        char32_t cp = 0;
        if ((b & 0xE0) == 0xC0 && i + 1 < text.size()) {
            cp = (b & 0x1Fu) << 6 | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
        } else if ((b & 0xF0) == 0xE0 && i + 2 < text.size()) {
            cp = (b & 0x0Fu) << 12 | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6 |
                 (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
        }
        if ((cp >= 0x0590 && cp <= 0x07BF) || (cp >= 0xFB1D && cp <= 0xFDFF) ||
            (cp >= 0xFE70 && cp <= 0xFEFC))
            return true;
    }
    return false;
}

}  // namespace

std::string fillTextFormat(std::string_view format, std::span<const std::string> args) {
    // In a right-to-left text every filled value (a file name, a number, a time) is
    // isolated, so "video (1).mp4" keeps its own order and does not reorder the text
    // around it: FIRST STRONG ISOLATE ... POP DIRECTIONAL ISOLATE.
    const bool isolate = hasRightToLeftLetters(format);
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        if (format[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // A conversion: optional flags, width, precision and length, then the type.
        std::size_t j = i + 1;
        while (j < format.size() &&
               std::string_view("-+ #0123456789.").find(format[j]) != std::string_view::npos)
            ++j;
        while (j < format.size() && std::string_view("hlLqjzt").find(format[j]) != std::string_view::npos)
            ++j;
        if (j < format.size() &&
            std::string_view("sSdiuxXcCpfgeE").find(format[j]) != std::string_view::npos) {
            if (next < args.size())
                out += isolate ? "\u2068" + args[next] + "\u2069" : args[next];
            ++next;
            i = j;
        } else {
            out += '%';
        }
    }
    return out;
}

}  // namespace app
