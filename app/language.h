#pragma once
// The interface language: the table that ties a LanguageId to its language file,
// skin archive, language-menu item and code; the choice at start-up (system
// locale, then oem.ini, then the user Config.ini); and the text lookup.
//
// Nothing here reports errors: an unknown id falls back to English names, a
// missing language file, stream or key gives the empty text.

#include "app/language_id.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace app {

struct LanguageInfo {
    LanguageId id;
    std::string_view name;          // English name of the language
    std::string_view code;          // "en": lang/<code>.txt, language/<code>.dat
    std::string_view file;          // "en.dat", relative to programDir()/language
    std::string_view skin_archive;  // "skin/skin_en.skin", relative to programDir()
    std::string_view menu_item;     // "menuEn"; empty when the language has no menu item
};

// All 23 languages, English first.
std::span<const LanguageInfo> languageTable();

// The entry of `id`; English for an id outside the table.
const LanguageInfo& languageInfo(LanguageId id);

// "en.dat" etc.; "en.dat" for an id outside the table.
std::string_view languageFileName(LanguageId id);
// "skin/skin_en.skin" etc.; Simplified Chinese and ids outside the table use the
// English archive.
std::string_view skinArchiveName(LanguageId id);
// "menuEn" etc.; empty for Simplified Chinese and ids outside the table.
std::string_view menuItemName(LanguageId id);
// "en", "cn", "tr" ...: the stem of the language file.
std::string_view languageCode(LanguageId id);
// Arabic and Hebrew read right to left.
bool isRightToLeft(LanguageId id);

// The language of a Windows system-locale LCID (the "from the system locale"
// column: 2052 gives Traditional Chinese, Arabic locales give English); English
// when unmatched.
LanguageId languageFromSystemLcid(int lcid);
// The LCID of a POSIX locale name such as "de_DE.UTF-8", "zh_CN", "pt_BR@euro";
// 0 for "C", "POSIX", empty or unknown names.
int lcidFromLocaleName(std::string_view locale);
// The language of the session: the first non-empty of LC_ALL, LC_MESSAGES, LANG,
// mapped to its LCID and then through languageFromSystemLcid. English when none
// is set or it is not recognised.
LanguageId languageFromSystem();

// An LCID read from oem.ini "LANG" "LCID" or the user Config.ini "Setting" "LCID":
// 0 keeps `current`, a known value gives its language, any other value English.
LanguageId languageFromLcid(int lcid, LanguageId current);

// Precedence at start-up: user Config.ini over oem.ini over the system locale
// (an LCID of 0 means "not set").
LanguageId resolveStartupLanguage(LanguageId system_language, int oem_lcid, int user_lcid);
// The same from the real stores: programDir()/oem.ini and dataDir()/Config.ini.
LanguageId startupLanguage();

// The language of a language-menu item (case-insensitive, "menuEn" ...); nothing
// for any other name.
std::optional<LanguageId> languageFromMenuItem(std::string_view item_name);

// The process-wide language, fixed at start-up (English until set). Safe from any
// thread.
void setCurrentLanguage(LanguageId id);
LanguageId currentLanguage();

// programDir()/language/<file> of `id`.
std::filesystem::path languageFilePath(LanguageId id);

// The value of `key` in `section` ("Text" or "Message") of the current language's
// file, as UTF-8, cut to 259 UTF-16 units; empty when the file, the section or the
// key is missing. A file replaced while the program runs is seen by the next call.
// Safe from any thread.
std::string getText(std::string_view key, std::string_view section = "Text");
// The same from an explicit language file.
std::string getTextFrom(const std::filesystem::path& language_file, std::string_view key,
                        std::string_view section = "Text");

// Fills a text of the language file that carries printf-style placeholders
// ("%s", "%d", "%x", "%ls" ...) with `args` in order, without handing the text to
// printf: a translated text can never read arguments that are not there. "%%"
// gives "%"; a placeholder without an argument left becomes empty; any other '%'
// stays as it is.
std::string fillTextFormat(std::string_view format, std::span<const std::string> args);

}  // namespace app
