#pragma once
// The online services' message ids live in platform/window_messages.h with every other
// window message; these names let the dialogs of online/gui keep writing them without
// the namespace until they include that table themselves.

#include "platform/window_messages.h"

namespace online {

using platform::WM_DOWNLOAD_DONE;
using platform::WM_DOWNLOAD_FAILED;
using platform::WM_DOWNLOAD_PROGRESS;
using platform::WM_TOOL_INSTALLED;
using platform::WM_TOOLBOX_READY;
using platform::WM_UPDATE_FOUND;

}  // namespace online
