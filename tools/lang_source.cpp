#include "lang_source.h"

#include <fstream>
#include <set>
#include <sstream>

namespace tools {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string unescape(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            char next = value[i + 1];
            if (next == 'n' || next == 't' || next == '\\') {
                out += next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
                ++i;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

}  // namespace

std::optional<std::vector<app::LanguageSection>> parseLanguageSource(std::string_view text,
                                                                     const std::string& file_name,
                                                                     std::string* error) {
    auto fail = [&](int line, const std::string& message) {
        if (error)
            *error = file_name + ":" + std::to_string(line) + ": " + message;
        return std::nullopt;
    };
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<app::LanguageSection> sections;
    std::set<std::string> keys;  // of the current section
    int number = 0;
    while (!text.empty()) {
        std::size_t nl = text.find('\n');
        std::string_view line = trim(text.substr(0, nl));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++number;
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return fail(number, "malformed section line");
            std::string name(trim(line.substr(1, line.size() - 2)));
            for (const auto& s : sections)
                if (s.name == name)
                    return fail(number, "section [" + name + "] appears twice");
            sections.push_back({name, {}});
            keys.clear();
            continue;
        }
        if (sections.empty())
            return fail(number, "entry before the first [section]");
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return fail(number, "line without '='");
        std::string key(trim(line.substr(0, eq)));
        if (key.empty())
            return fail(number, "empty key");
        if (!keys.insert(key).second)
            return fail(number, "key " + key + " appears twice in its section");
        sections.back().entries.emplace_back(key, unescape(trim(line.substr(eq + 1))));
    }
    return sections;
}

std::optional<std::vector<app::LanguageSection>> readLanguageSource(const std::filesystem::path& file,
                                                                    std::string* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error)
            *error = file.string() + ": cannot read";
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseLanguageSource(text.str(), file.string(), error);
}

std::optional<std::string> findValue(const std::vector<app::LanguageSection>& sections,
                                     std::string_view section, std::string_view key) {
    for (const auto& s : sections) {
        if (s.name != section)
            continue;
        for (const auto& [k, v] : s.entries)
            if (k == key)
                return v;
    }
    return std::nullopt;
}

}  // namespace tools
