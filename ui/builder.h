#pragma once
// Layout XML → controls. The whole grammar is read here (see ui/README.md):
//   <Window size= caption= ...>      window attributes, then
//   <Font id= size= bold= name= default=/>   fonts by number
//   <Default name="Button" value="attr='v' attr2='v'"/>   defaults per tag
//   <Include source="other.xml"/>    the controls of another skin entry, here
//   any control tag                  created by the window, then attributes applied
// Elements nest inside containers and lists.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QWidget;

namespace ui {

class Control;
class Window;

// A control layout read once (defaults applied, includes resolved) that builds any
// number of copies: list rows come from one parse however many there are.
class LayoutTemplate {
public:
    // The first control of `xml` (inside <Window> or on its own); null when the XML is
    // not well-formed or holds no control.
    static std::shared_ptr<const LayoutTemplate> parse(const QByteArray& xml, QString* error = nullptr);
    // Makes the controls; `create` gives the control of a tag (null skips the element
    // and everything inside it). The root starts as a child of `root_parent`, so an
    // attribute such as visible='true' never opens it as a window of its own. Null
    // when the root's tag gives no control.
    Control* instantiate(const std::function<Control*(std::string_view tag)>& create,
                         QWidget* root_parent) const;

    struct Node {
        std::string tag;
        std::vector<std::pair<std::string, std::string>> attributes;  // defaults first
        std::vector<Node> children;
    };
    const Node& root() const { return root_; }

private:
    Node root_;
};

class Builder {
public:
    explicit Builder(Window* window) : window_(window) {}
    // Builds the layout into the window (window attributes, fonts, the root
    // control). False with `error` set when the XML is not well-formed or has no
    // root control.
    bool buildWindow(const QByteArray& xml, QString* error = nullptr);
    // Builds the first control of `xml` on its own (a list row); null on failure.
    Control* buildControl(const QByteArray& xml, QString* error = nullptr);

private:
    Window* window_;
};

}  // namespace ui
