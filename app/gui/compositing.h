#pragma once
// Whether the desktop composites windows. Window shadows are drawn in a translucent
// margin, which shows black on an X server without a compositing manager.

namespace app {

bool desktopComposites();

}  // namespace app
