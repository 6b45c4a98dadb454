#pragma once
// Every message that a thread of the program sends to a window, grouped by the window
// that receives it.
//
// Each receiver has an id type and a message type of its own: a handler reads
// `MainWindowMessage(raw).id()` and switches over MainWindowId, so it can never take
// another window's message for one of its own (9031 is WM_MERGE_FAILED to the main
// window and WM_MERGE_JOIN_FAILED to the merge dialog). Payloads are written by the
// post/send functions and read by the accessors below; nothing else casts a WParam.
//
// The header lives in platform/ so that every module may include it, online/ as well,
// which sees neither convert/ nor mainframe/; the payload types are only declared here.
// A new message goes into its receiver's enumeration with a line on who posts it and
// what it carries, and gets its poster and accessors here.
//
// The online services' ids (1025 to 1028, 1030, 1033: WM_USER + 1 and up) are plain
// numbers, further down: their receivers switch over raw ids.
//
// The skin layer's own menu message (1145, ui/window.h) goes from a popup menu to the
// window that opened it and is not part of this table.

#include "platform/message_target.h"

#include <cstdint>

namespace convert {
struct ConvertTask;
}

namespace platform {

// Received by the main window (and by mainframe::ConversionController, which handles
// them for it). Unless said otherwise the payload is the task (taskOf).
enum class MainWindowId : std::uint32_t {
    // Percent 0..100 (progressPercent); 100: the task succeeded. Posted by the job's
    // monitor and, while a special source is rewritten, by its made-up progress.
    WM_CONVERT_PROGRESS = 9024,
    // A child process or a special source's pre-step failed to start; a
    // WM_CONVERT_FAILED follows. Posted by the job.
    WM_CONVERT_START_FAILED = 9025,
    // The job failed (no result, or no free output name); its last message. Posted.
    WM_CONVERT_FAILED = 9026,
    // The task's probe results are new. Sent by the probe thread; posted by
    // special-source jobs, whose runner must never block on the window.
    WM_TASK_INFO_READY = 9027,
    // No payload: see whether every merge part is ready. Posted by the window to itself.
    WM_MERGE_CHECK = 9028,
    // No payload: preparing a merge part failed. Posted by the conversion thread.
    WM_MERGE_FAILED = 9031,
};

// Received by the merge dialog (and by the CLI's join loop). Posted by MergeJoin.
enum class MergeDialogId : std::uint32_t {
    // Percent 1..99 (progressPercent).
    WM_MERGE_JOIN_PROGRESS = 9029,
    // No payload: the merged file is complete.
    WM_MERGE_JOIN_DONE = 9030,
    // No payload: the join failed.
    WM_MERGE_JOIN_FAILED = 9031,
};

// The online services' messages: plain numbers, which the update dialog and the
// toolbox popup switch over in their window's message handler (payloads as noted).
//
// Received by the main window: the toolbox check downloaded a package where there was
// none, so "LayoutToolbox" may show now. No payload. Posted by online::ToolboxCheck.
inline constexpr std::uint32_t WM_TOOLBOX_READY = 1030;
// Received by the main window: a newer version exists (WM_USER + 9); the update dialog
// follows. No payload. Posted by online::CUpdate's check.
inline constexpr std::uint32_t WM_UPDATE_FOUND = 1033;
// Received by the update dialog (its installer download; lparam 0) and by the toolbox
// popup (lparam: the row of the tool): the download's percent in wparam. Posted by the
// download thread.
inline constexpr std::uint32_t WM_DOWNLOAD_PROGRESS = 1025;
// Received by the update dialog and the toolbox popup (lparam as above): the download
// is complete. Posted by the download thread.
inline constexpr std::uint32_t WM_DOWNLOAD_DONE = 1026;
// Received by the update dialog and the toolbox popup (lparam as above): the download,
// or the start of the tool's installer, failed. Posted by the download thread.
inline constexpr std::uint32_t WM_DOWNLOAD_FAILED = 1027;
// Received by the toolbox popup (lparam: the row): the tool's installer ran to its end.
// Posted by online::installTool.
inline constexpr std::uint32_t WM_TOOL_INSTALLED = 1028;

// A message as the main window reads it.
class MainWindowMessage {
public:
    explicit MainWindowMessage(const Message& raw) : raw_(raw) {}
    MainWindowId id() const { return static_cast<MainWindowId>(raw_.id); }

private:
    friend convert::ConvertTask* taskOf(const MainWindowMessage& message);
    friend int progressPercent(const MainWindowMessage& message);
    Message raw_;
};

// A message as the merge dialog reads it.
class MergeDialogMessage {
public:
    explicit MergeDialogMessage(const Message& raw) : raw_(raw) {}
    MergeDialogId id() const { return static_cast<MergeDialogId>(raw_.id); }

private:
    friend int progressPercent(const MergeDialogMessage& message);
    Message raw_;
};

// The task a main-window message is about; null for the messages without payload.
convert::ConvertTask* taskOf(const MainWindowMessage& message);
// WM_CONVERT_PROGRESS: the percentage.
int progressPercent(const MainWindowMessage& message);
// WM_MERGE_JOIN_PROGRESS: the percentage.
int progressPercent(const MergeDialogMessage& message);

// Posts return false when the receiver no longer takes messages; send returns the
// handler's result (0 when refused).
bool postConvertProgress(MessageTarget& window, convert::ConvertTask* task, int percent);
bool postToMainWindow(MessageTarget& window, MainWindowId id, convert::ConvertTask* task = nullptr);
LParam sendToMainWindow(MessageTarget& window, MainWindowId id, convert::ConvertTask* task);
bool postJoinProgress(MessageTarget& dialog, int percent);
bool postToMergeDialog(MessageTarget& dialog, MergeDialogId id);

}  // namespace platform
