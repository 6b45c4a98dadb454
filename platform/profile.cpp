#include "platform/profile.h"

#include "platform/atomic_file.h"
#include "platform/strings.h"

#include <cstdint>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

namespace platform {
namespace {

// Writers of the whole process take turns, as the Windows calls do.
std::mutex g_write_mutex;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct Line {
    explicit Line(std::string t) : text(std::move(t)) {}
    std::string text;  // without the line break
    LineKind kind = LineKind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed, quotes kept
};

void classify(Line& line) {
    std::string_view t = trim(line.text);
    if (t.empty()) {
        line.kind = LineKind::Blank;
    } else if (t.front() == ';') {
        line.kind = LineKind::Comment;
    } else if (t.front() == '[') {
        line.kind = LineKind::Section;
        std::string_view inner = t.substr(1);
        if (auto close = inner.rfind(']'); close != std::string_view::npos)
            inner = inner.substr(0, close);
        line.name = trim(inner);
    } else if (auto eq = t.find('='); eq != std::string_view::npos) {
        line.kind = LineKind::Key;
        line.name = trim(t.substr(0, eq));
        line.value = trim(t.substr(eq + 1));
    } else {
        line.kind = LineKind::Other;  // a key without '=': it has no value
        line.name = t;
    }
}

struct Document {
    std::vector<Line> lines;
    std::string eol = "\n";
    bool exists = false;
};

Document load(const std::filesystem::path& file) {
    Document doc;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return doc;
    doc.exists = true;
    std::ostringstream ss;
    ss << in.rdbuf();
    std::string data = ss.str();
    if (data.compare(0, 3, "\xEF\xBB\xBF") == 0)
        data.erase(0, 3);
    // CRLF, LF and a lone CR each end a line, as in the Windows reader; a write keeps
    // the file's own ending.
    if (data.find("\r\n") != std::string::npos)
        doc.eol = "\r\n";
    else if (data.find('\r') != std::string::npos && data.find('\n') == std::string::npos)
        doc.eol = "\r";
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t end = data.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = data.size();
        doc.lines.push_back(Line{data.substr(pos, end - pos)});
        pos = end;
        if (pos < data.size())
            pos += data.compare(pos, 2, "\r\n") == 0 ? 2 : 1;
    }
    for (auto& line : doc.lines)
        classify(line);
    return doc;
}

// Index range [begin, end) of the first section named `section`: begin is the
// header line, end the next header or the end of the file. Nothing when absent.
std::optional<std::pair<std::size_t, std::size_t>> findSection(const Document& doc,
                                                               std::string_view section) {
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        if (doc.lines[i].kind != LineKind::Section || !equalsNoCase(doc.lines[i].name, section))
            continue;
        std::size_t end = i + 1;
        while (end < doc.lines.size() && doc.lines[end].kind != LineKind::Section)
            ++end;
        return std::make_pair(i, end);
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const Document& doc, std::pair<std::size_t, std::size_t> range,
                                   std::string_view key) {
    for (std::size_t i = range.first + 1; i < range.second; ++i) {
        const Line& l = doc.lines[i];
        if ((l.kind == LineKind::Key || l.kind == LineKind::Other) && equalsNoCase(l.name, key))
            return i;
    }
    return std::nullopt;
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Bytes of the UTF-8 character at s[i]; a byte that starts no complete character
// counts alone (it stands for one unit, as its replacement character would).
std::size_t utf8Length(std::string_view s, std::size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    if (i + len > s.size())
        return 1;
    for (std::size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 1;
    return len;
}

// Cuts UTF-8 text to at most `units` UTF-16 code units, never inside a character.
// Bytes that are no valid UTF-8 are kept.
std::string cutToUtf16Units(std::string_view s, std::size_t units) {
    std::size_t used = 0, i = 0;
    while (i < s.size()) {
        std::size_t len = utf8Length(s, i);
        std::size_t need = len == 4 ? 2 : 1;
        if (used + need > units)
            break;
        used += need;
        i += len;
    }
    return std::string(s.substr(0, i));
}

std::string serialize(const Document& doc) {
    std::string out;
    for (const auto& line : doc.lines) {
        out += line.text;
        out += doc.eol;
    }
    return out;
}

}  // namespace

std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view default_value, const std::filesystem::path& file,
                                    std::size_t buffer_size) {
    if (buffer_size == 0)
        return {};
    std::string_view def = default_value;
    while (!def.empty() && (def.back() == ' ' || def.back() == '\t'))
        def.remove_suffix(1);

    Document doc = load(file);
    std::string_view found = def;
    if (auto range = findSection(doc, section)) {
        if (auto idx = findKey(doc, *range, key); idx && doc.lines[*idx].kind == LineKind::Key)
            found = unquote(doc.lines[*idx].value);
    }
    return cutToUtf16Units(found, buffer_size - 1);
}

int getPrivateProfileInt(std::string_view section, std::string_view key, int default_value,
                         const std::filesystem::path& file) {
    std::string text = getPrivateProfileString(section, key, "", file);
    std::string_view s = trim(text);
    // An empty value reads as a missing one (the string call cannot tell them apart);
    // a value that holds no number is 0.
    if (s.empty())
        return default_value;
    bool negative = false;
    if (s.front() == '-' || s.front() == '+') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // Wraps at 32 bits as the Windows call does for over-long numbers.
    std::uint32_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            break;
        n = n * 10u + static_cast<std::uint32_t>(c - '0');
    }
    if (negative)
        n = 0u - n;
    return static_cast<int>(n);
}

bool writePrivateProfileString(std::string_view section, std::optional<std::string_view> key,
                               std::optional<std::string_view> value, const std::filesystem::path& file) {
    // A line break would end the line early and write the rest as further keys or
    // sections; there is no escape for it in the format.
    auto breaksLine = [](std::optional<std::string_view> text) {
        return text && text->find_first_of("\r\n") != std::string_view::npos;
    };
    if (breaksLine(section) || breaksLine(key) || breaksLine(value))
        return false;
    std::lock_guard lock(g_write_mutex);
    Document doc = load(file);
    auto range = findSection(doc, section);

    if (!key) {  // remove the section
        if (!range)
            return true;
        doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(range->first),
                        doc.lines.begin() + static_cast<std::ptrdiff_t>(range->second));
    } else if (!value) {  // remove the key
        if (!range)
            return true;
        auto idx = findKey(doc, *range, *key);
        if (!idx)
            return true;
        doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(*idx));
    } else {
        if (!range) {
            doc.lines.push_back(Line{"[" + std::string(section) + "]"});
            doc.lines.push_back(Line{std::string(*key) + "=" + std::string(*value)});
        } else if (auto idx = findKey(doc, *range, *key)) {
            Line& l = doc.lines[*idx];
            l.text = std::string(l.name) + "=" + std::string(*value);
        } else {
            std::size_t insert_at = range->first + 1;
            for (std::size_t i = range->first + 1; i < range->second; ++i)
                if (doc.lines[i].kind != LineKind::Blank)
                    insert_at = i + 1;
            doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(insert_at),
                             Line{std::string(*key) + "=" + std::string(*value)});
        }
    }
    return writeFileAtomically(file, serialize(doc));
}

}  // namespace platform
