#include "app/language_menu.h"

#include "app/language.h"

namespace app {

LanguageMenuResult onLanguageMenu(std::string_view item_name, LanguageId current,
                                  const LanguageMenuActions& actions) {
    std::optional<LanguageId> chosen = languageFromMenuItem(item_name);
    if (!chosen)
        return LanguageMenuResult::Ignored;
    if (*chosen == current)
        return LanguageMenuResult::Unchanged;
    if (actions.confirm_restart && actions.confirm_restart()) {
        if (actions.write_language)
            actions.write_language(*chosen);
        if (actions.restart)
            actions.restart();
        return LanguageMenuResult::Restarting;
    }
    // The menu checked the clicked item on its own; put the mark back.
    if (actions.check_menu)
        actions.check_menu(current);
    return LanguageMenuResult::Declined;
}

std::vector<std::pair<std::string_view, bool>> languageMenuChecks(LanguageId current) {
    std::vector<std::pair<std::string_view, bool>> items;
    for (const auto& info : languageTable())
        if (!info.menu_item.empty())
            items.emplace_back(info.menu_item, info.id == current);
    return items;
}

}  // namespace app
