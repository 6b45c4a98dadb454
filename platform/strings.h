#pragma once
// Small text helpers every module uses: ASCII case and folder texts.

#include <string>
#include <string_view>

namespace platform {

// ASCII letters only; other bytes (UTF-8 included) stay as they are.
std::string lower(std::string_view text);
std::string upper(std::string_view text);

// The folder text with one trailing '/' (an empty text stays empty).
std::string withSlash(std::string folder);

}  // namespace platform
