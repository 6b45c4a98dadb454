#pragma once
// Messages of the conversion engine to its window (a platform::MessageTarget).
// wParam is always the ConvertTask* the message is about.

#include <cstdint>

namespace convert {

// lParam: percent 0..100; 100 means the job succeeded. Posted by the job's monitor.
inline constexpr std::uint32_t WM_CONVERT_PROGRESS = 9024;
// lParam 0: the child process (or a special source's pre-step) failed to start. Posted.
inline constexpr std::uint32_t WM_CONVERT_START_FAILED = 9025;
// lParam 0: the job failed (child ended without "progress=end", or with an error, or no
// free output name). Posted.
inline constexpr std::uint32_t WM_CONVERT_FAILED = 9026;
// lParam 0: the task's probe results are new. Sent (synchronously) by the probe thread
// and by special-source jobs.
inline constexpr std::uint32_t WM_TASK_INFO_READY = 9027;

}  // namespace convert
