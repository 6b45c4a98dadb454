#pragma once
// Window messages of the online services.

#include <cstdint>

namespace online {

// To the main window.
inline constexpr std::uint32_t WM_TOOLBOX_READY = 1030;  // a toolbox package arrived
inline constexpr std::uint32_t WM_UPDATE_FOUND = 1033;   // WM_USER + 9: a newer version exists

// To the update dialog and the toolbox popup (lparam: the toolbox row).
inline constexpr std::uint32_t WM_DOWNLOAD_PROGRESS = 1025;  // wparam percent
inline constexpr std::uint32_t WM_DOWNLOAD_DONE = 1026;
inline constexpr std::uint32_t WM_DOWNLOAD_FAILED = 1027;
inline constexpr std::uint32_t WM_TOOL_INSTALLED = 1028;

}  // namespace online
