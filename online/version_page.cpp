#include "online/version_page.h"

#include <json/json.h>

#include <cctype>
#include <charconv>
#include <memory>
#include <vector>

namespace online {
namespace {

std::vector<std::string_view> splitDots(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find('.', start);
        parts.push_back(
            text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos)
            return parts;
        start = dot + 1;
    }
}

// Leading decimal digits as a number (as atoi would; huge parts saturate).
unsigned long long partValue(std::string_view part) {
    size_t i = 0;
    while (i < part.size() && (part[i] == ' '))
        ++i;
    unsigned long long value = 0;
    auto [ptr, ec] = std::from_chars(part.data() + i, part.data() + part.size(), value);
    if (ec == std::errc::result_out_of_range)
        return ~0ULL;
    return ec == std::errc() ? value : 0;
}

}  // namespace

std::string stripBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        if (ch != '\n' && ch != '\r' && ch != '\t')
            out += ch;
    }
    return out;
}

std::string pageValue(std::string_view page, std::string_view tag) {
    if (tag.empty())
        return {};
    const std::string text = stripBreaks(page);
    const size_t at = text.find(tag);
    if (at == std::string::npos)
        return {};
    const size_t open = at + tag.size() + 1;
    if (text.compare(open, 2, "<#") != 0)
        return {};
    const size_t close = text.find("#>", open + 2);
    if (close == std::string::npos)
        return {};
    return text.substr(open + 2, close - open - 2);
}

std::string versionLine(std::string_view page) {
    const std::string text = stripBreaks(page);
    if (!text.starts_with("version="))
        return {};
    return text.substr(8);
}

int compareVersions(std::string_view a, std::string_view b) {
    const auto left = splitDots(a);
    const auto right = splitDots(b);
    const size_t common = std::min(left.size(), right.size());
    for (size_t i = 0; i < common; ++i) {
        const auto l = partValue(left[i]);
        const auto r = partValue(right[i]);
        if (l != r)
            return l < r ? -1 : 1;
    }
    for (size_t i = common; i < left.size(); ++i) {
        if (partValue(left[i]) > 0)
            return 1;
    }
    for (size_t i = common; i < right.size(); ++i) {
        if (partValue(right[i]) > 0)
            return -1;
    }
    return 0;
}

std::optional<Json::Value> parseJson(std::string_view text, Json::ValueType type) {
    if (!text.starts_with(type == Json::arrayValue ? '[' : '{'))
        return std::nullopt;
    Json::CharReaderBuilder builder;
    builder["stackLimit"] = 64;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &root, nullptr))
            return std::nullopt;
    } catch (const Json::Exception&) {  // nested deeper than the stack limit
        return std::nullopt;
    }
    if (root.type() != type)
        return std::nullopt;
    return root;
}

std::string releaseNotesText(std::string_view json, std::string_view program_version) {
    const std::optional<Json::Value> parsed = parseJson(json, Json::arrayValue);
    if (!parsed)
        return {};
    const Json::Value& root = *parsed;
    std::string notes;
    bool first = true;
    for (const auto& entry : root) {
        if (!entry.isObject())
            continue;
        const auto text = [&](const char* key) {
            const auto& v = entry[key];
            return v.isString() ? v.asString() : std::string();
        };
        const std::string version = text("version");
        if (compareVersions(version, program_version) <= 0)
            continue;
        if (!first)
            notes += "\r\n\r\n";
        first = false;
        notes += "- " + version + " (" + text("date") + ")\r\n";
        const auto& content = entry["content"];
        bool first_line = true;
        if (content.isArray()) {
            for (const auto& line : content) {
                if (!line.isString())
                    continue;
                if (!first_line)
                    notes += "\r\n";
                first_line = false;
                notes += line.asString();
            }
        }
    }
    return notes;
}

std::string validSha256(std::string_view text) {
    if (text.size() != 64)
        return {};
    for (char ch : text) {
        if (!std::isxdigit(static_cast<unsigned char>(ch)))
            return {};
    }
    return std::string(text);
}

}  // namespace online
