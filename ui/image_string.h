#pragma once
// Image strings of layouts and code: either a bare name ("images/logo.png") or
// key='value' pairs:
//   file='images/btn.png'  the image (skin entry, or a file path with restype='fullpath')
//   source='l,t,r,b'       the part of the image to use (default: all of it)
//   dest='l,t,r,b'         where to draw it inside the control (default: fill it)
//   corner='l,t,r,b'       nine-slice insets in image pixels: corners keep their size
//   restype='fullpath'     `file` is a path on disk (covers, branding images)
// Rectangles and corners are in layout units; images are drawn scaled to the
// display scale. A rectangle that is not four integers within +-1048576 is ignored.

#include <QMargins>
#include <QRect>
#include <QString>
#include <string>
#include <utility>
#include <vector>

class QPainter;

namespace ui {

// key='value' pairs (either quote), in order, as image strings and a layout's
// <Default value="..."> write them. False when the text breaks off: at a key without a
// quoted value (the pairs before it are kept) or at a value without its closing quote
// (kept up to the end of the text).
using QuotedPairs = std::vector<std::pair<QString, QString>>;
bool readQuotedPairs(const QString& text, QuotedPairs& out);

struct ImageSpec {
    std::string file;
    QRect source;  // null: the whole image
    QRect dest;    // null: the whole target
    QMargins corner;
    bool full_path = false;

    bool empty() const { return file.empty(); }
};

// Parses an image string; an unparsable string gives an empty ImageSpec.
ImageSpec parseImageString(const std::string& text);

// Draws `img` into `target` (device-independent pixels). False when the image is
// missing (nothing is drawn).
bool paintImage(QPainter& painter, const QRect& target, const ImageSpec& img);

}  // namespace ui
