#pragma once
// Branding and partner values of oem.ini (program folder), read once at start-up.
// A missing key leaves a string empty and a flag at its default.

#include "app/language_id.h"

#include <filesystem>
#include <string>

namespace app {

struct BrandingInfo {
    int lcid = 0;                    // "LANG" "LCID", 0 = not set
    std::string partner_id;          // "Partner" "Id", at most 15 characters
    std::string new_version_url;     // "Partner" "NewVersion"
    std::string partner_update;      // "Partner" "Update"
    std::string support_url;         // "URL" "Line", else the built-in address of the language
    std::string title_logo;          // "UI" "TitleLogo"
    std::string title_text;          // "UI" "TitleText"
    std::string about_logo;          // "UI" "AboutLogo"
    std::string product_name;        // "UI" "ProductName"
    std::string window_bg_image;     // "UI" "WindowBgImage"
    std::string line_image;          // "UI" "LineImage"
    std::string skin_file_name;      // "UI" "SkinFileName"
    std::string company_name;        // "UI" "CompanyName"
    std::string official_site;       // "UI" "OfficialSite"
    std::string dlg_bg_image;        // "UI" "DlgBgImage"
    std::string toolbox;             // "UI" "Toolbox"
    bool show_official = true;       // "UI" "ShowOfficial"
    bool show_privacy = true;        // "UI" "ShowPrivacy"
    std::string redirect;            // "Other" "Redirect"
    bool online_tutorial = true;     // "Other" "OnlineTutorial"
    std::filesystem::path oem_path;  // where it was read from ("ShowVersion" is read afresh)

    // The skin archive chosen for the language (set by the skin selection).
    std::filesystem::path skin_folder;
    std::string skin_file;

    // Reads `oem_ini` (default programDir()/oem.ini); `language` picks the built-in
    // support address when "URL" "Line" is absent.
    static BrandingInfo load(LanguageId language);
    static BrandingInfo load(LanguageId language, const std::filesystem::path& oem_ini);

    // "Other" "ShowVersion" (default 1), read afresh on every call.
    bool showVersion() const;
};

// The built-in support page of a language.
std::string defaultSupportUrl(LanguageId language);

}  // namespace app
