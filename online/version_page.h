#pragma once
// The texts the update and toolbox servers answer with.

#include <json/json.h>

#include <optional>
#include <string>
#include <string_view>

namespace online {

// Removes every line feed, carriage return and tab.
std::string stripBreaks(std::string_view text);

// A value of a version page: the tag, exactly one character, "<#", the value, "#>".
// Empty when the tag is missing or not followed that way. Line breaks and tabs of
// `page` are ignored.
std::string pageValue(std::string_view page, std::string_view tag);

// "version=<v>" pages (patch, toolbox): the version, empty for any other text.
std::string versionLine(std::string_view page);

// Compares dotted versions part by part as decimal numbers; missing parts count as
// 0. Returns -1, 0 or 1. Parts that are not numbers count as 0.
int compareVersions(std::string_view a, std::string_view b);

// A server's JSON answer that is one `type` (Json::objectValue or Json::arrayValue) and
// begins with its bracket; nothing for any other text, malformed text or nesting deeper
// than 64 levels (the reader would throw there).
std::optional<Json::Value> parseJson(std::string_view text, Json::ValueType type);

// The release notes of every entry of the JSON array newer than `program_version`,
// in array order: "- <version> (<date>)\r\n" and the content lines joined by "\r\n",
// entries separated by "\r\n\r\n". Empty for a body that is no array.
std::string releaseNotesText(std::string_view json, std::string_view program_version);

// A SHA-256 as 64 hex digits, else empty.
std::string validSha256(std::string_view text);

}  // namespace online
