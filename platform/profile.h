#pragma once
// INI files with the semantics of the Windows profile functions: a missing file,
// section or key gives the default; section and key names compare without case;
// blanks around names and values are trimmed; a value in matching double or single
// quotes loses them; ';' starts a comment line; the first of duplicate sections and
// keys wins; CRLF, LF and a lone CR end lines. Writes keep every other line and go
// through a temporary file and a rename, so a crash never leaves half a file. Text
// is UTF-8; bytes that are not valid UTF-8 are kept as they are.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Buffer size of the Windows calls, in UTF-16 units (one is kept for the NUL).
inline constexpr std::size_t kProfileBufferSize = 260;

// The value, or `default_value` (trailing blanks removed) when the file, section or
// key is missing or the key has no '='. The result is cut to buffer_size - 1 UTF-16
// units without splitting a character.
std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view default_value, const std::filesystem::path& file,
                                    std::size_t buffer_size = kProfileBufferSize);

// The leading decimal number of the value (an optional sign, then digits); 0 when
// the value starts with no number; `default_value` when the key is missing or its
// value is empty.
int getPrivateProfileInt(std::string_view section, std::string_view key, int default_value,
                         const std::filesystem::path& file);

// Replaces the key in place or appends it at the end of its section; creates the
// section at the end of the file and the file itself when missing. With no value the
// key is removed; with no key the whole section is removed. Returns false, writing
// nothing, when a name or the value holds a line break (it would add keys or
// sections), or when the file could not be written (its folder missing or not
// writable).
bool writePrivateProfileString(std::string_view section, std::optional<std::string_view> key,
                               std::optional<std::string_view> value, const std::filesystem::path& file);

}  // namespace platform
