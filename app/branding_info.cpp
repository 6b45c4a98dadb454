#include "app/branding_info.h"

#include "platform/folders.h"
#include "platform/profile.h"

namespace app {

std::string defaultSupportUrl(LanguageId language) {
    const char* code = "en";
    switch (language) {
        case LanguageId::Portuguese:
            code = "pt";
            break;
        case LanguageId::French:
            code = "fr";
            break;
        case LanguageId::Arabic:
            code = "ar";
            break;
        case LanguageId::Russian:
            code = "ru";
            break;
        case LanguageId::Japanese:
            code = "jp";
            break;
        case LanguageId::ChineseSimplified:
            code = "cn";
            break;
        case LanguageId::ChineseTraditional:
            code = "tw";
            break;
        case LanguageId::Swedish:
            code = "sv";
            break;
        case LanguageId::Indonesian:
            code = "id";
            break;
        case LanguageId::German:
            code = "de";
            break;
        case LanguageId::Spanish:
            code = "es";
            break;
        case LanguageId::Greek:
            code = "el";
            break;
        case LanguageId::Turkish:
            code = "tr";
            break;
        case LanguageId::Hebrew:
            code = "iw";
            break;
        case LanguageId::Korean:
            code = "kr";
            break;
        case LanguageId::Italian:
            code = "it";
            break;
        case LanguageId::Dutch:
            code = "nl";
            break;
        case LanguageId::Polish:
            code = "pl";
            break;
        case LanguageId::Czech:
            code = "cs";
            break;
        case LanguageId::Romanian:
            code = "ro";
            break;
        case LanguageId::Hungarian:
            code = "hu";
            break;
        case LanguageId::Danish:
            code = "da";
            break;
        case LanguageId::English:
            break;
    }
    return std::string("https://www.quorin-video.example/") + code + "/support";
}

BrandingInfo BrandingInfo::load(LanguageId language) {
    return load(language, platform::programDir() / "oem.ini");
}

BrandingInfo BrandingInfo::load(LanguageId language, const std::filesystem::path& oem_ini) {
    auto str = [&](const char* section, const char* key) {
        return platform::getPrivateProfileString(section, key, "", oem_ini);
    };
    auto flag = [&](const char* section, const char* key) {
        return platform::getPrivateProfileInt(section, key, 1, oem_ini) != 0;
    };
    BrandingInfo b;
    b.oem_path = oem_ini;
    b.lcid = platform::getPrivateProfileInt("LANG", "LCID", 0, oem_ini);
    // 15 characters and the terminating NUL.
    b.partner_id = platform::getPrivateProfileString("Partner", "Id", "", oem_ini, 16);
    b.new_version_url = str("Partner", "NewVersion");
    b.partner_update = str("Partner", "Update");
    b.support_url = str("URL", "Line");
    if (b.support_url.empty())
        b.support_url = defaultSupportUrl(language);
    b.title_logo = str("UI", "TitleLogo");
    b.title_text = str("UI", "TitleText");
    b.about_logo = str("UI", "AboutLogo");
    b.product_name = str("UI", "ProductName");
    b.window_bg_image = str("UI", "WindowBgImage");
    b.line_image = str("UI", "LineImage");
    b.skin_file_name = str("UI", "SkinFileName");
    b.company_name = str("UI", "CompanyName");
    b.official_site = str("UI", "OfficialSite");
    b.dlg_bg_image = str("UI", "DlgBgImage");
    b.toolbox = str("UI", "Toolbox");
    b.show_official = flag("UI", "ShowOfficial");
    b.show_privacy = flag("UI", "ShowPrivacy");
    b.redirect = str("Other", "Redirect");
    b.online_tutorial = flag("Other", "OnlineTutorial");
    return b;
}

bool BrandingInfo::showVersion() const {
    return platform::getPrivateProfileInt("Other", "ShowVersion", 1, oem_path) != 0;
}

}  // namespace app
