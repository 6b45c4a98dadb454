#include "ui/controls.h"

namespace ui {

// A label is a bare control: background, border and text are all the base's.
QUORIN_UI_CONTROL("Label", Label);
// "Text" is a label that wraps.
namespace {
class Text : public Label {
public:
    Text() { setAttribute("wordbreak", "true"); }
};
}  // namespace
QUORIN_UI_CONTROL("Text", Text);
// "Control": an empty box, used as a spacer or a picture.
QUORIN_UI_CONTROL("Control", Control);

}  // namespace ui
