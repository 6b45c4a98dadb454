#include "platform/window_messages.h"

namespace platform {

// The system's layout of the words: the task in wParam, the job's percentage in
// lParam, the join's percentage in wParam.

convert::ConvertTask* taskOf(const MainWindowMessage& message) {
    return reinterpret_cast<convert::ConvertTask*>(message.raw_.wparam);
}

int progressPercent(const MainWindowMessage& message) {
    return static_cast<int>(message.raw_.lparam);
}

int progressPercent(const MergeDialogMessage& message) {
    return static_cast<int>(message.raw_.wparam);
}

bool postConvertProgress(MessageTarget& window, convert::ConvertTask* task, int percent) {
    return window.post(static_cast<std::uint32_t>(MainWindowId::WM_CONVERT_PROGRESS),
                       reinterpret_cast<WParam>(task), percent);
}

bool postToMainWindow(MessageTarget& window, MainWindowId id, convert::ConvertTask* task) {
    return window.post(static_cast<std::uint32_t>(id), reinterpret_cast<WParam>(task), 0);
}

LParam sendToMainWindow(MessageTarget& window, MainWindowId id, convert::ConvertTask* task) {
    return window.send(static_cast<std::uint32_t>(id), reinterpret_cast<WParam>(task), 0);
}

bool postJoinProgress(MessageTarget& dialog, int percent) {
    return dialog.post(static_cast<std::uint32_t>(MergeDialogId::WM_MERGE_JOIN_PROGRESS),
                       static_cast<WParam>(percent), 0);
}

bool postToMergeDialog(MessageTarget& dialog, MergeDialogId id) {
    return dialog.post(static_cast<std::uint32_t>(id), 0, 0);
}

}  // namespace platform
