#include "platform/registry.h"

#include "platform/folders.h"
#include "platform/profile.h"

#include <charconv>

namespace platform {
namespace {

const char kKey[] = "Software\\QuorinVideoConverter";
const char kStringTag[] = "sz:";
const char kDwordTag[] = "dword:";
constexpr std::size_t kMaxValue = 1 << 20;

// Values are stored quoted, with backslash escapes for line breaks, so that blanks and
// any character survive the profile reader.
std::string escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescape(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

RegistryStore RegistryStore::currentUser() {
    return RegistryStore(userConfigDir() / "registry.ini", false);
}

RegistryStore RegistryStore::localMachine() {
    return RegistryStore(machineConfigDir() / "registry.ini", true);
}

RegistryStore::RegistryStore(std::filesystem::path file, bool read_only)
    : file_(std::move(file)), read_only_(read_only) {}

std::optional<std::string> RegistryStore::raw(std::string_view name) const {
    // A value can never be this marker, so it tells "absent" from "empty".
    const char kAbsent[] = "\x01";
    std::string v = getPrivateProfileString(kKey, name, kAbsent, file_, kMaxValue);
    if (v == kAbsent)
        return std::nullopt;
    return v;
}

std::optional<std::string> RegistryStore::getString(std::string_view name) const {
    auto v = raw(name);
    if (!v || !startsWith(*v, kStringTag))
        return std::nullopt;
    return unescape(std::string_view(*v).substr(sizeof kStringTag - 1));
}

std::optional<std::uint32_t> RegistryStore::getDword(std::string_view name) const {
    auto v = raw(name);
    if (!v || !startsWith(*v, kDwordTag))
        return std::nullopt;
    std::string_view digits = std::string_view(*v).substr(sizeof kDwordTag - 1);
    std::uint32_t n = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc())
        return std::nullopt;
    return n;
}

bool RegistryStore::exists(std::string_view name) const {
    return raw(name).has_value();
}

bool RegistryStore::setString(std::string_view name, std::string_view value) {
    if (read_only_)
        return false;
    ensureDir(file_.parent_path());
    return writePrivateProfileString(kKey, name, "\"" + std::string(kStringTag) + escape(value) + "\"",
                                     file_);
}

bool RegistryStore::setDword(std::string_view name, std::uint32_t value) {
    if (read_only_)
        return false;
    ensureDir(file_.parent_path());
    return writePrivateProfileString(kKey, name, std::string(kDwordTag) + std::to_string(value), file_);
}

bool RegistryStore::remove(std::string_view name) {
    if (read_only_)
        return false;
    return writePrivateProfileString(kKey, name, std::nullopt, file_);
}

}  // namespace platform
