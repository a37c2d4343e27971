// Window timers, on Qt's timers or on a virtual clock that tests move.
#pragma once

#include <optional>

#include "platform/platform.h"

namespace qtwindow {

// The WM_TIMER of the first timer that came due, which is then no longer due. However many
// periods passed since it was last taken, a timer gives one WM_TIMER, as on Windows.
std::optional<MSG> take_due_timer();

void kill_timers_of(HWND hwnd);

// Milliseconds since the services started, on the clock in use.
DWORD tick_count();

void forget_timers();

} // namespace qtwindow
