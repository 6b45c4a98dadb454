#pragma once
#include <cstdint>

namespace app {

// The interface language. The numbers are the program's own language ids (not
// Windows LCIDs); 0 is English.
enum class LanguageId : std::uint16_t {
    English = 0,
    Portuguese = 860,
    French = 863,
    Arabic = 864,
    Russian = 866,
    Japanese = 932,
    ChineseSimplified = 936,
    ChineseTraditional = 950,
    Swedish = 1053,
    Indonesian = 1057,
    German = 1141,
    Spanish = 1145,
    Greek = 1253,
    Turkish = 1254,
    Hebrew = 1255,
    Korean = 1361,
    Italian = 10521,
    Dutch = 10522,
    Polish = 12501,
    Czech = 12502,
    Romanian = 12503,
    Hungarian = 12504,
    Danish = 12524,
};

// The LCID that the configuration stores keep for a language (Hungarian and Danish
// keep their language id, which the LCID readers accept as it is).
int lcidForLanguage(LanguageId id);

}  // namespace app
