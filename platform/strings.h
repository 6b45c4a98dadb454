#pragma once
// Small text helpers every module uses: ASCII case.

#include <string>
#include <string_view>

namespace platform {

// ASCII letters only; other bytes (UTF-8 included) stay as they are, whatever the
// C library's locale.
char lower(char c);
std::string lower(std::string_view text);
std::string upper(std::string_view text);
// Equal but for the case of ASCII letters.
bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace platform
