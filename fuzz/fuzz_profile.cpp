// INI profiles: any file content reads without fault; a write that is accepted reads
// back as written (after the documented trimming and unquoting) and changes no other
// key.
#include "platform/profile.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string trimmed(std::string s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    while (!s.empty() && blank(s.front()))
        s.erase(0, 1);
    while (!s.empty() && blank(s.back()))
        s.pop_back();
    return s;
}

std::string normalizedValue(const std::string& v) {
    std::string t = trimmed(v);
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front())
        return t.substr(1, t.size() - 2);
    return t;
}

bool sameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const std::filesystem::path& file() {
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("fuzz_profile_" + std::to_string(getpid()) + ".ini");
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(64);
    const std::string other_section = in.ConsumeRandomLengthString(24);
    const std::string other_key = in.ConsumeRandomLengthString(24);
    const std::string content = in.ConsumeRemainingBytesAsString();
    {
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        out << content;
    }
    constexpr std::size_t kBig = 1 << 20;
    (void)platform::getPrivateProfileInt(section, key, 7, file());
    const std::string before =
        platform::getPrivateProfileString(other_section, other_key, "\x01", file(), kBig);
    if (!platform::writePrivateProfileString(section, key, value, file()))
        return 0;
    // Names the format can hold unchanged: no blanks at their ends, a key that does
    // not start like a comment or a section and holds no '='.
    const bool plain_names = !section.empty() && trimmed(section) == section && trimmed(key) == key &&
                             key.find('=') == std::string::npos &&
                             section.find_first_of("[]") == std::string::npos &&
                             (key.empty() || (key.front() != ';' && key.front() != '[')) &&
                             section.find('\0') == std::string::npos && key.find('\0') == std::string::npos;
    if (plain_names) {
        const std::string read = platform::getPrivateProfileString(section, key, "\x01", file(), kBig);
        if (read != normalizedValue(value))
            std::abort();
        const bool same = sameNoCase(section, other_section) && sameNoCase(key, other_key);
        const bool plain_other = !other_section.empty() && trimmed(other_section) == other_section &&
                                 trimmed(other_key) == other_key;
        if (!same && plain_other &&
            platform::getPrivateProfileString(other_section, other_key, "\x01", file(), kBig) != before)
            std::abort();
    }
    return 0;
}
