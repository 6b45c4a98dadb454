#pragma once
// Popup menus from layout XML:
//   <Menu>
//     <MenuElement name="menuSetting" text="Settings" userdata="..." />
//     <MenuElement name="menuLang" text="Language">
//       <MenuElement name="menuEn" text="English" checkable="true" />
//     </MenuElement>
//     <MenuSeparator />
//   </Menu>
// Items are found by name and can be checked, enabled, shown or renamed before
// the menu pops up. A chosen item reaches the owner window as message 1145
// (kMenuCommandMessage) whose wparam points at a MenuCommand valid during the call.

#include <QPoint>
#include <QPointer>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QMenu;
class QAction;

namespace ui {

class Window;

struct MenuCommand {
    std::string name;
    std::string user_data;
    std::string text;
};

// Where the menu lies relative to the point: by default to the right of and
// below it; Left puts its right edge on the point, Top its bottom edge.
enum class MenuAlign { RightBottom = 0, Left = 1, Top = 2, LeftTop = 3 };

class Menu {
public:
    // Null when `layout` is missing from the skin or not well-formed.
    static std::unique_ptr<Menu> load(const std::string& layout);
    static std::unique_ptr<Menu> fromXml(const QByteArray& xml);
    ~Menu();

    // False when there is no item of that name.
    bool setChecked(std::string_view name, bool checked);
    bool setEnabled(std::string_view name, bool enabled);
    bool setVisible(std::string_view name, bool visible);
    bool setText(std::string_view name, const std::string& text);
    bool setUserData(std::string_view name, const std::string& data);
    bool isChecked(std::string_view name) const;
    bool isVisible(std::string_view name) const;
    bool isEnabled(std::string_view name) const;

    // Shows the menu at `screen_pos` for `owner` and returns at once; the choice is
    // posted to the owner.
    void popup(Window* owner, QPoint screen_pos, MenuAlign align = MenuAlign::RightBottom);
    // Chooses an item as a click would (keyboard, tests): posts its command to
    // `owner`. False when the item is missing, hidden or disabled.
    bool trigger(Window* owner, std::string_view name);
    QMenu* qmenu() const { return menu_.get(); }
    // The shown items of the menu and its submenus whose text is wider or taller than
    // the room the menu gives it, or that lie outside the menu on this screen:
    // "name (room): text".
    std::vector<std::string> itemsWithoutRoom();

private:
    Menu();
    QAction* action(std::string_view name) const;
    std::unique_ptr<QMenu> menu_;
    QPointer<Window> owner_;
};

}  // namespace ui
