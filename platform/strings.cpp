#include "platform/strings.h"

#include <algorithm>
#include <cstdio>

namespace platform {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = lower(c);
    return out;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool FormatSize(std::uint64_t bytes, char* out, std::size_t size) {
    if (!out || size == 0)
        return true;
    const char* unit;
    double value;
    if (bytes > 1073741824ull || bytes > 0xffffffffull) {
        unit = "GB";
        value = static_cast<double>(bytes) / 1073741824.0;
    } else if (bytes > 1048576) {
        unit = "MB";
        value = static_cast<double>(bytes) / 1048576.0;
    } else if (bytes <= 1024) {
        std::snprintf(out, size, "%d%s", static_cast<int>(bytes), "B");
        return true;
    } else {
        unit = "KB";
        value = static_cast<double>(bytes) / 1024.0;
    }
    std::snprintf(out, size, "%.2f%s", static_cast<double>(static_cast<float>(value)), unit);
    return true;
}

std::string FormatSize(std::uint64_t bytes) {
    char buf[64];
    FormatSize(bytes, buf, sizeof buf);
    return buf;
}

}  // namespace platform
