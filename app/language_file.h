#pragma once
// The language file: an OLE compound file with one stream per section ("Text",
// "Message"). A stream is UTF-16LE "key=value" entries, each ended by a NUL unit,
// the sequence ended by an empty entry, scrambled with a fixed 32-bit mask per
// 4-byte group. The writer (tools/langpack) and the reader share this code, so
// they always agree on the mask and the padding.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace app {

// A reader never takes more than this many bytes of a stream; the writer refuses
// a section that does not stay below it.
inline constexpr std::size_t kLanguageStreamMaxBytes = 131072;
// Values are cut to this many UTF-16 units.
inline constexpr std::size_t kLanguageValueMaxUnits = 259;

struct LanguageSection {
    std::string name;                                          // stream name, e.g. "Text"
    std::vector<std::pair<std::string, std::string>> entries;  // UTF-8 key, value, in order
};

// UTF-8 <-> UTF-16. Malformed input becomes U+FFFD; nothing throws.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

// XORs `bytes` in place with the mask, group by group (a trailing partial group
// with the matching bytes of the mask). Applying it twice restores the input.
void scrambleLanguageStream(std::string& bytes);

// The scrambled stream bytes of a section, padded with NUL to whole groups.
std::string encodeLanguageStream(const LanguageSection& section);
// Unscrambles at most kLanguageStreamMaxBytes of `bytes` and returns the text up to
// the byte count rounded down to even.
std::u16string decodeLanguageStream(std::string_view bytes);

// Every entry in order as (key, value), the value cut to kLanguageValueMaxUnits;
// entries without '=' are skipped; the walk stops at the first empty entry or the
// end of the text. The views point into `text`.
std::vector<std::pair<std::u16string_view, std::u16string_view>> listLanguageEntries(
    std::u16string_view text);

// The first value of `key` in a decoded stream, cut to kLanguageValueMaxUnits;
// nothing when the key is absent. Entries without '=' are skipped; the walk stops at
// the first empty entry or the end of the text.
std::optional<std::u16string> findLanguageEntry(std::u16string_view text, std::u16string_view key);

// Writes the compound file (through a temporary file renamed into place, so a
// running reader sees the old or the new file). False with `error` filled when a
// section is too large, a name is invalid or the file cannot be written.
bool writeLanguageFile(const std::filesystem::path& file, const std::vector<LanguageSection>& sections,
                       std::string* error = nullptr);

// The raw (still scrambled) bytes of stream `section`, at most
// kLanguageStreamMaxBytes; nothing when the file is not a compound file or has no
// such stream.
std::optional<std::string> readLanguageStream(const std::filesystem::path& file, std::string_view section);
// The same from the bytes of a whole compound file held in memory.
std::optional<std::string> readLanguageStreamFrom(std::string_view file_bytes, std::string_view section);

}  // namespace app
