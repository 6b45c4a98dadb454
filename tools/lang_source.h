#pragma once
// The readable language sources, lang/<code>.txt: UTF-8, "[Section]" lines, then
// "key=value" lines. Blank lines and lines starting with ';' or '#' are skipped. In
// values "\n", "\t" and "\\" stand for a line break, a tab and a backslash.

#include "app/language_file.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

// The sections in file order; nothing with `error` ("<file>:<line>: ...") when a
// line lies outside a section, has no '=' or an empty key, or repeats a key of its
// section (which would hide the second value for good).
std::optional<std::vector<app::LanguageSection>> parseLanguageSource(std::string_view text,
                                                                     const std::string& file_name,
                                                                     std::string* error);
std::optional<std::vector<app::LanguageSection>> readLanguageSource(const std::filesystem::path& file,
                                                                    std::string* error);

// The first value of `key` in section `section`, or nothing.
std::optional<std::string> findValue(const std::vector<app::LanguageSection>& sections,
                                     std::string_view section, std::string_view key);

}  // namespace tools
