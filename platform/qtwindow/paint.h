// Repaint requests and WM_PAINT.
#pragma once

#include "platform/platform.h"

namespace qtwindow {

// The first window, in creation order, with a WM_PAINT due; null when none.
HWND window_needing_paint();

} // namespace qtwindow
