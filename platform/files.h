#pragma once
// File-system calls that the standard library does not offer: a file's identity, whole
// reads with that identity, appends under an exclusive lock, executability; and the
// one way folder texts are joined with a file name.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// What tells one version of a file from another: device, inode, size and the
// modification and change times in nanoseconds.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t modified_ns = 0;
    std::int64_t changed_ns = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of a regular file; nullopt when `file` is missing or not a regular file.
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& file);

// The whole content of a regular file of at most `max_bytes`, and the identity of what
// was read (taken from the open file, so it matches the bytes). Nullopt when the file is
// missing, not regular, larger than `max_bytes` or unreadable.
std::optional<std::string> readWholeFile(const std::filesystem::path& file, std::int64_t max_bytes,
                                         FileIdentity* identity = nullptr);

// Appends `bytes` to `file` (created 0644) in one write while holding an exclusive lock
// that is not waited for: false, with nothing written, when another writer holds it or
// the file cannot be opened or written.
bool appendExclusive(const std::filesystem::path& file, std::string_view bytes);

// True for a regular file the current user may execute.
bool isExecutableFile(const std::filesystem::path& file);

// The folder text with one trailing '/' (an empty text stays empty): what a file name
// is appended to. Folders are kept as texts where the user typed them.
std::string withSlash(std::string folder);

// The running executable's own path; empty when the system does not say.
std::filesystem::path executablePath();

}  // namespace platform

namespace platform {

// Claims `file` for the caller: creates it empty (0644) only when no file of that name
// exists, in one step, so that processes choosing the same name at once never both get
// it. False when the name is taken or the folder cannot be written (`already_exists`
// tells the two apart).
bool createExclusive(const std::filesystem::path& file, bool* already_exists = nullptr);

}  // namespace platform
