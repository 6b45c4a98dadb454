// Image strings: any text parses without fault, and what it gives stays within the
// coordinate range that painting can scale and add without overflow.
#include "ui/image_string.h"

#include <cstdlib>
#include <string>

namespace {

bool inRange(int v) {
    return v >= -(1 << 21) && v <= (1 << 21);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ui::ImageSpec img = ui::parseImageString(std::string(reinterpret_cast<const char*>(data), size));
    for (const QRect& r : {img.source, img.dest})
        if (!r.isNull() &&
            !(inRange(r.left()) && inRange(r.top()) && inRange(r.right()) && inRange(r.bottom())))
            std::abort();
    const QMargins& c = img.corner;
    if (!(inRange(c.left()) && inRange(c.top()) && inRange(c.right()) && inRange(c.bottom())))
        std::abort();
    return 0;
}
