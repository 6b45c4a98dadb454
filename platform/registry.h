#pragma once
// The per-user key/value store that stands in for the registry key
// HKEY_CURRENT_USER\Software\QuorinVideoConverter, and a read-only machine store in
// place of HKEY_LOCAL_MACHINE. Values are strings or DWORDs, kept in an INI file
// ("registry.ini") in userConfigDir() or machineConfigDir(); writes are atomic.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class RegistryStore {
public:
    // HKEY_CURRENT_USER\Software\QuorinVideoConverter.
    static RegistryStore currentUser();
    // HKEY_LOCAL_MACHINE\Software\QuorinVideoConverter: reads only.
    static RegistryStore localMachine();
    // A store in any file (tests, tools).
    RegistryStore(std::filesystem::path file, bool read_only);

    // Nothing when the value is absent or of the other type.
    std::optional<std::string> getString(std::string_view name) const;
    std::optional<std::uint32_t> getDword(std::string_view name) const;
    bool exists(std::string_view name) const;

    // False when the store is read-only or the file could not be written.
    bool setString(std::string_view name, std::string_view value);
    bool setDword(std::string_view name, std::uint32_t value);
    bool remove(std::string_view name);

    const std::filesystem::path& file() const { return file_; }

private:
    std::optional<std::string> raw(std::string_view name) const;

    std::filesystem::path file_;
    bool read_only_;
};

}  // namespace platform
