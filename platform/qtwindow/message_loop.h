// The thread's message queue: the quit request, repaints and timers, and Qt's events meanwhile.
#pragma once

#include "platform/platform.h"

namespace qtwindow {

void forget_messages();
// Queues a WM_CLOSE for the window, as PostMessageW would: it is dispatched from the loop, after
// Qt's pending events and before repaints and timers.
void post_close(HWND hwnd);
// Queues a WM_KEYDOWN for the window, after the closes, with the modifier keys (FSHIFT, FCONTROL,
// FALT) held when it was pressed: while it is handled they are the keyboard's state, as GetKeyState
// tells it on Windows for the message last taken.
void post_key(HWND hwnd, WPARAM virtual_key, BYTE modifiers);
BYTE key_modifiers();

} // namespace qtwindow
