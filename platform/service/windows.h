// The window services of a program that shows no window (the system service): message-only
// windows (HWND_MESSAGE) of a registered class, with their messages and timers, and a loop that
// sleeps in the kernel until a timer is due or the system asks the program to end. Free of Qt
// and of any display.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace service_window {

// The windows alive, not being destroyed.
std::vector<HWND> live_windows();
// A destroyed window's timers stop with it.
void kill_timers_of(HWND hwnd);

} // namespace service_window
