#include "app/language_file.h"

#include "platform/strings.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <cstdint>
#include <mutex>

namespace app {
namespace {

// The program's own mask; changing it makes every shipped language file unreadable.
constexpr std::uint32_t kScrambleMask = 0x5A3C96E1u;

void ensureGsf() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string utf16le(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

// A stream name the compound file keeps as it is: UTF-8 (the file stores UTF-16, so
// anything else would come back changed), at most 31 UTF-16 units, none of the
// characters the format reserves, no control characters (a NUL would cut it).
bool validSectionName(const std::string& name) {
    const std::u16string wide = utf8ToUtf16(name);
    if (name.empty() || wide.size() > 31 || utf16ToUtf8(wide) != name)
        return false;
    for (char16_t c : wide)
        if (c < 0x20 || c == '/' || c == '\\' || c == ':' || c == '!')
            return false;
    return true;
}

template <class T>
struct GObjectRef {
    T* p = nullptr;
    ~GObjectRef() {
        if (p)
            g_object_unref(p);
    }
};

}  // namespace

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        char32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 || (c & 0xF0) == 0xE0 || (c & 0xF8) == 0xF0) {
            std::size_t need = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
            char32_t v = c & (need == 2 ? 0x1F : need == 3 ? 0x0F : 0x07);
            bool ok = i + need <= text.size();
            for (std::size_t k = 1; ok && k < need; ++k) {
                auto cc = static_cast<unsigned char>(text[i + k]);
                if ((cc & 0xC0) != 0x80) {
                    ok = false;
                } else {
                    v = (v << 6) | (cc & 0x3F);
                }
            }
            static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
            if (ok && v >= kMin[need] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                cp = v;
                len = need;
            }
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        appendUtf8(out, u);
    }
    return out;
}

void scrambleLanguageStream(std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto m = static_cast<unsigned char>((kScrambleMask >> (8 * (i % 4))) & 0xFF);
        bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ m);
    }
}

std::string encodeLanguageStream(const LanguageSection& section) {
    std::u16string text;
    for (const auto& [key, value] : section.entries) {
        text += utf8ToUtf16(key);
        text += u'=';
        text += utf8ToUtf16(value);
        text += char16_t{0};
    }
    text += char16_t{0};  // the empty entry that ends the sequence
    std::string bytes = utf16le(text);
    bytes.resize((bytes.size() + 3) / 4 * 4, '\0');
    scrambleLanguageStream(bytes);
    return bytes;
}

std::u16string decodeLanguageStream(std::string_view bytes) {
    std::string plain(bytes.substr(0, kLanguageStreamMaxBytes));
    scrambleLanguageStream(plain);
    std::u16string text(plain.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(plain[2 * i]) |
                                        (static_cast<unsigned char>(plain[2 * i + 1]) << 8));
    }
    return text;
}

std::vector<std::pair<std::u16string_view, std::u16string_view>> listLanguageEntries(
    std::u16string_view text) {
    std::vector<std::pair<std::u16string_view, std::u16string_view>> entries;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(u'\0', pos);
        if (end == std::u16string_view::npos)
            end = text.size();  // a last entry cut by the size limit
        if (end == pos)
            break;  // the empty entry ends the sequence
        std::u16string_view entry = text.substr(pos, end - pos);
        pos = end + 1;
        std::size_t eq = entry.find(u'=');
        if (eq == std::u16string_view::npos)
            continue;
        std::u16string_view value = entry.substr(eq + 1);
        if (value.size() > kLanguageValueMaxUnits) {
            std::size_t cut = kLanguageValueMaxUnits;
            // Never leave half of a surrogate pair behind.
            if (value[cut - 1] >= 0xD800 && value[cut - 1] <= 0xDBFF)
                --cut;
            value = value.substr(0, cut);
        }
        entries.emplace_back(entry.substr(0, eq), value);
    }
    return entries;
}

std::optional<std::u16string> findLanguageEntry(std::u16string_view text, std::u16string_view key) {
    for (const auto& [k, v] : listLanguageEntries(text))
        if (k == key)
            return std::u16string(v);
    return std::nullopt;
}

bool writeLanguageFile(const std::filesystem::path& file, const std::vector<LanguageSection>& sections,
                       std::string* error) {
    auto fail = [error](std::string message) {
        if (error)
            *error = std::move(message);
        return false;
    };
    std::vector<std::string> streams;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const LanguageSection& section = sections[i];
        if (!validSectionName(section.name))
            return fail("invalid section name \"" + section.name + "\"");
        for (std::size_t j = 0; j < i; ++j)
            if (platform::equalsNoCase(sections[j].name, section.name))  // stream names ignore case
                return fail("section " + section.name + " is there twice");
        for (const auto& [key, value] : section.entries) {
            if (key.empty() || key.find('=') != std::string::npos || key.find('\0') != std::string::npos)
                return fail("invalid key \"" + key + "\" in section " + section.name);
            if (value.find('\0') != std::string::npos)
                return fail("NUL in the value of " + key + " in section " + section.name);
        }
        streams.push_back(encodeLanguageStream(section));
        if (streams.back().size() >= kLanguageStreamMaxBytes)
            return fail("section " + section.name + " is " + std::to_string(streams.back().size()) +
                        " bytes; it must stay below " + std::to_string(kLanguageStreamMaxBytes));
    }

    ensureGsf();
    GError* gerr = nullptr;
    // GsfOutputStdio writes a temporary file and renames it over `file` on close.
    GObjectRef<GsfOutput> sink{gsf_output_stdio_new(file.c_str(), &gerr)};
    if (!sink.p) {
        std::string message = gerr ? gerr->message : "cannot create file";
        if (gerr)
            g_error_free(gerr);
        return fail(file.string() + ": " + message);
    }
    GObjectRef<GsfOutfile> ole{gsf_outfile_msole_new(sink.p)};
    bool ok = ole.p != nullptr;
    for (std::size_t i = 0; ok && i < sections.size(); ++i) {
        GObjectRef<GsfOutput> child{gsf_outfile_new_child(ole.p, sections[i].name.c_str(), FALSE)};
        ok = child.p &&
             gsf_output_write(child.p, streams[i].size(),
                              reinterpret_cast<const guint8*>(streams[i].data())) &&
             gsf_output_close(child.p);
    }
    if (ole.p)
        ok = gsf_output_close(GSF_OUTPUT(ole.p)) && ok;
    if (!gsf_output_is_closed(sink.p))
        ok = gsf_output_close(sink.p) && ok;
    if (!ok)
        return fail(file.string() + ": write failed");
    return true;
}

namespace {

std::optional<std::string> readStream(GsfInput* input, std::string_view section) {
    GObjectRef<GsfInfile> ole{gsf_infile_msole_new(input, nullptr)};
    if (!ole.p)
        return std::nullopt;
    std::string name(section);
    GObjectRef<GsfInput> stream{gsf_infile_child_by_name(ole.p, name.c_str())};
    if (!stream.p)
        return std::nullopt;
    gsf_off_t size = gsf_input_size(stream.p);
    if (size < 0)
        return std::nullopt;
    std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), kLanguageStreamMaxBytes);
    std::string bytes(n, '\0');
    if (n > 0 && !gsf_input_read(stream.p, n, reinterpret_cast<guint8*>(bytes.data())))
        return std::nullopt;
    return bytes;
}

}  // namespace

std::optional<std::string> readLanguageStream(const std::filesystem::path& file, std::string_view section) {
    ensureGsf();
    GObjectRef<GsfInput> input{gsf_input_stdio_new(file.c_str(), nullptr)};
    if (!input.p)
        return std::nullopt;
    return readStream(input.p, section);
}

std::optional<std::string> readLanguageStreamFrom(std::string_view file_bytes, std::string_view section) {
    ensureGsf();
    GObjectRef<GsfInput> input{gsf_input_memory_new(reinterpret_cast<const guint8*>(file_bytes.data()),
                                                    static_cast<gsf_off_t>(file_bytes.size()), FALSE)};
    if (!input.p)
        return std::nullopt;
    return readStream(input.p, section);
}

}  // namespace app
