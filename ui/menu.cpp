#include "ui/menu.h"

#include <QAction>
#include <QMenu>
#include <QScreen>
#include <QXmlStreamReader>

#include "ui/skin.h"
#include "ui/window.h"

namespace ui {

namespace {

// An item's padding and font size in layout units (the left padding holds the check mark).
constexpr int kItemPadLeft = 30, kItemPadRight = 18, kItemPadVertical = 6, kItemFontSize = 13;

QString menuStyle() {
    const Skin& s = skin();
    return QStringLiteral(
               "QMenu { background: #FFFFFF; border: 1px solid #DDE1E7; border-radius: %1px; padding: %2px "
               "0; }"
               "QMenu::item { padding: %3px %4px %3px %5px; color: #2B2F36; font-size: %6px; }"
               "QMenu::item:selected { background: #EEF4FF; color: #1F6FEB; }"
               "QMenu::item:disabled { color: #A6ACB5; }"
               "QMenu::separator { height: 1px; background: #EDEFF2; margin: %2px %4px; }"
               "QMenu::indicator { width: %7px; height: %7px; left: %8px; }")
        .arg(s.scaled(6))
        .arg(s.scaled(4))
        .arg(s.scaled(kItemPadVertical))
        .arg(s.scaled(kItemPadRight))
        .arg(s.scaled(kItemPadLeft))
        .arg(s.scaled(kItemFontSize))
        .arg(s.scaled(14))
        .arg(s.scaled(8));
}

void readItems(QXmlStreamReader& xml, QMenu* menu) {
    while (xml.readNextStartElement()) {
        const auto tag = xml.name();
        const QXmlStreamAttributes a = xml.attributes();
        if (tag == QLatin1String("MenuSeparator")) {
            menu->addSeparator();
            xml.skipCurrentElement();
            continue;
        }
        if (tag != QLatin1String("MenuElement")) {
            xml.skipCurrentElement();
            continue;
        }
        const QString name = a.value("name").toString();
        const QString text = a.value("text").toString();
        // An element with elements inside is a submenu.
        auto* sub = new QMenu(text, menu);
        sub->setStyleSheet(menu->styleSheet());
        readItems(xml, sub);
        QAction* action;
        if (!sub->actions().isEmpty()) {
            action = menu->addMenu(sub);
        } else {
            delete sub;
            action = menu->addAction(text);
        }
        action->setObjectName(name);
        action->setData(a.value("userdata").toString());
        if (a.value("checkable") == QLatin1String("true") || a.hasAttribute("checked"))
            action->setCheckable(true);
        if (a.value("checked") == QLatin1String("true"))
            action->setChecked(true);
        if (a.value("enabled") == QLatin1String("false"))
            action->setEnabled(false);
        if (a.value("visible") == QLatin1String("false"))
            action->setVisible(false);
    }
}

}  // namespace

Menu::Menu() : menu_(std::make_unique<QMenu>()) {
    menu_->setStyleSheet(menuStyle());
    menu_->setWindowFlag(Qt::NoDropShadowWindowHint, false);
}

Menu::~Menu() = default;

std::unique_ptr<Menu> Menu::load(const std::string& layout) {
    auto bytes = skin().read(layout);
    return bytes ? fromXml(*bytes) : nullptr;
}

std::unique_ptr<Menu> Menu::fromXml(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("Menu"))
        return nullptr;
    std::unique_ptr<Menu> menu(new Menu);
    readItems(xml, menu->menu_.get());
    if (xml.hasError())
        return nullptr;
    QObject::connect(menu->menu_.get(), &QMenu::triggered, menu->menu_.get(),
                     [m = menu.get()](QAction* action) {
                         if (m->owner_)
                             m->trigger(m->owner_, action->objectName().toStdString());
                     });
    return menu;
}

QAction* Menu::action(std::string_view name) const {
    return menu_->findChild<QAction*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

bool Menu::setChecked(std::string_view name, bool checked) {
    QAction* a = action(name);
    if (!a)
        return false;
    a->setCheckable(true);
    a->setChecked(checked);
    return true;
}

bool Menu::setEnabled(std::string_view name, bool enabled) {
    QAction* a = action(name);
    if (a)
        a->setEnabled(enabled);
    return a != nullptr;
}

bool Menu::setVisible(std::string_view name, bool visible) {
    QAction* a = action(name);
    if (a)
        a->setVisible(visible);
    return a != nullptr;
}

bool Menu::setText(std::string_view name, const std::string& text) {
    QAction* a = action(name);
    if (a)
        a->setText(QString::fromStdString(text));
    return a != nullptr;
}

bool Menu::setUserData(std::string_view name, const std::string& data) {
    QAction* a = action(name);
    if (a)
        a->setData(QString::fromStdString(data));
    return a != nullptr;
}

bool Menu::isChecked(std::string_view name) const {
    QAction* a = action(name);
    return a && a->isChecked();
}

bool Menu::isVisible(std::string_view name) const {
    QAction* a = action(name);
    return a && a->isVisible();
}

bool Menu::isEnabled(std::string_view name) const {
    QAction* a = action(name);
    return a && a->isEnabled();
}

void Menu::popup(Window* owner, QPoint screen_pos, MenuAlign align) {
    owner_ = owner;
    QSize size = menu_->sizeHint();
    QPoint at = screen_pos;
    if (align == MenuAlign::Left || align == MenuAlign::LeftTop)
        at.rx() -= size.width();
    if (align == MenuAlign::Top || align == MenuAlign::LeftTop)
        at.ry() -= size.height();
    menu_->popup(at);
}

namespace {

void collectWithoutRoom(QMenu* menu, std::vector<std::string>& out) {
    const Skin& s = skin();
    menu->ensurePolished();
    menu->resize(menu->sizeHint());  // lays the items out (adjustSize would cap it at 2/3 of the screen)
    QFont font = menu->font();
    font.setPixelSize(s.scaled(kItemFontSize));
    const QFontMetrics metrics(font);
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        // An item beyond the menu's edge is out of sight (a menu taller than the screen
        // scrolls).
        const QRect item = menu->actionGeometry(a);
        const int room = item.width() - s.scaled(kItemPadLeft) - s.scaled(kItemPadRight);
        if (metrics.horizontalAdvance(a->text()) > room || metrics.height() > item.height() ||
            !menu->rect().contains(item))
            out.push_back(a->objectName().toStdString() + " (" + std::to_string(room) +
                          "): " + a->text().toStdString());
        if (a->menu())
            collectWithoutRoom(a->menu(), out);
    }
}

}  // namespace

std::vector<std::string> Menu::itemsWithoutRoom() {
    std::vector<std::string> out;
    collectWithoutRoom(menu_.get(), out);
    return out;
}

bool Menu::trigger(Window* owner, std::string_view name) {
    QAction* a = action(name);
    if (!a || !a->isVisible() || !a->isEnabled() || !owner)
        return false;
    MenuCommand command{a->objectName().toStdString(), a->data().toString().toStdString(),
                        a->text().toStdString()};
    // Queued like a posted window message; the command lives in the call.
    QPointer<Window> target(owner);
    QMetaObject::invokeMethod(
        owner,
        [target, command] {
            if (target)
                target->onCustomMessage(kMenuCommandMessage, reinterpret_cast<platform::WParam>(&command), 0);
        },
        Qt::QueuedConnection);
    return true;
}

}  // namespace ui
