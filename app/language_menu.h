#pragma once
// The decision logic of the language menu; the window supplies the dialog, the
// store write and the restart through LanguageMenuActions.

#include "app/language_id.h"

#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace app {

struct LanguageMenuActions {
    // Asks "RestartApp" / "Title" (section "Message") as yes/no with the
    // information icon; true for yes.
    std::function<bool()> confirm_restart;
    // Writes the language to both LCID keys (SettingsStore::setLanguage).
    std::function<void(LanguageId)> write_language;
    // Sets the restart flag and posts WM_CLOSE to the main window.
    std::function<void()> restart;
    // Sets the check marks of the 22 items from `current` (checkLanguageMenu).
    std::function<void(LanguageId current)> check_menu;
};

enum class LanguageMenuResult {
    Ignored,     // not a language item
    Unchanged,   // the active language: no prompt
    Declined,    // the user said no; the check marks were reset
    Restarting,  // written; the program restarts in the new language
};

// Handles a click on menu item `item_name` while `current` is active.
LanguageMenuResult onLanguageMenu(std::string_view item_name, LanguageId current,
                                  const LanguageMenuActions& actions);

// The 22 language-menu items with their check state for `current` (all unchecked
// for a language without an item of its own).
std::vector<std::pair<std::string_view, bool>> languageMenuChecks(LanguageId current);

}  // namespace app
