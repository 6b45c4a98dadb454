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

namespace ui {

class Control;
class Window;

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
