// The thread's message queue: the quit request, repaints and timers, and Qt's events meanwhile.
#pragma once

namespace qtwindow {

void forget_messages();

} // namespace qtwindow
