#pragma once
// Small text helpers every module uses: ASCII case and the size text of files.

#include <cstddef>
#include <cstdint>
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

// The one size text of a file, for the source and for the result: "1024B", "1.00KB",
// "15.50MB", "1.00GB". Above 1 GiB (or beyond 32 bits) in GB, above 1 MiB in MB, up to
// 1024 bytes in bytes, else in KB; two decimals of the value in single precision.
// The buffer form writes at most `size` bytes (NUL included) and is always true.
bool FormatSize(std::uint64_t bytes, char* out, std::size_t size);
std::string FormatSize(std::uint64_t bytes);

}  // namespace platform
