// The thread's message queue: the quit request, repaints and timers, and Qt's events meanwhile.
#pragma once

#include "platform/platform.h"

namespace qtwindow {

void forget_messages();
// Queues a WM_CLOSE for the window, as PostMessageW would: it is dispatched from the loop, after
// Qt's pending events and before repaints and timers.
void post_close(HWND hwnd);

} // namespace qtwindow
