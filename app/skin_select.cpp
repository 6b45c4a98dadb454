#include "app/skin_select.h"

#include "app/language.h"
#include "platform/folders.h"

namespace app {

std::optional<SkinArchive> findSkinArchive(LanguageId language, const std::filesystem::path& program_dir) {
    std::filesystem::path archive = program_dir / std::string(skinArchiveName(language));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(archive, ec))
        return std::nullopt;
    return SkinArchive{archive.parent_path(), archive.filename().string()};
}

bool selectSkinArchive(LanguageId language, BrandingInfo& branding) {
    auto archive = findSkinArchive(language, platform::programDir());
    if (!archive)
        return false;
    branding.skin_folder = archive->folder;
    branding.skin_file = archive->file;
    return true;
}

}  // namespace app
