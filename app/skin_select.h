#pragma once
// Choosing the skin archive of the interface language at start-up.

#include "app/branding_info.h"
#include "app/language_id.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// Password of every skin archive (traditional PKWARE encryption); tools/skinpack
// writes the archives with it and the skin layer opens them with it.
inline constexpr std::string_view kSkinArchivePassword = "mpk5162x8vwtz@hb";

struct SkinArchive {
    std::filesystem::path folder;  // programDir()/skin
    std::string file;              // "skin_en.skin"
};

// The archive of `language` below `program_dir` when that file exists; nothing
// otherwise. There is no fallback to another language's archive (Simplified
// Chinese and unknown ids use the English archive by the language table).
std::optional<SkinArchive> findSkinArchive(LanguageId language, const std::filesystem::path& program_dir);

// findSkinArchive below programDir(); on success stores the folder and file name in
// `branding` and returns true. False means start-up must stop with "SkinLost".
bool selectSkinArchive(LanguageId language, BrandingInfo& branding);

}  // namespace app
