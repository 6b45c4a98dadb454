#pragma once
// Messages of the conversion list to its own window (wParam 0, lParam 0).

#include <cstdint>

namespace mainframe {

// See whether every merge part is ready; opens the join when they are. Posted by the
// window to itself.
inline constexpr std::uint32_t WM_MERGE_CHECK = 9028;
// Preparing a merge part failed; the rest of the merge was taken out of the run.
// Posted by the conversion thread.
inline constexpr std::uint32_t WM_MERGE_FAILED = 9031;

}  // namespace mainframe
