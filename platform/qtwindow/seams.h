// What tests steer in the window services as time and a user would: the clock, failures of the
// services, the message queue and message boxes, and the drawing objects alive. The services
// honour these; tests/support/window_hooks.h adds acting on the windows and looking at them.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qtwindow {

// Time. On the virtual clock, timers come due only when advance_ms moves it past their period.
// Switching clocks restarts the running timers' periods.
void use_virtual_clock(bool on);
void advance_ms(unsigned ms);
// The period of a running timer, or nothing when the window has no such timer.
std::optional<UINT> timer_period(HWND hwnd, UINT_PTR id);
// While on, SetTimer fails and returns 0.
void fail_timers(bool on);
// While on, CreateWindowExW fails and returns null.
void fail_window_creation(bool on);

// Messages. Dispatches what GetMessageW would return now (Qt's pending events first, then
// repaints and timers) until nothing is left, without waiting; stops at a quit request and
// leaves it pending. Returns the number of messages dispatched.
int pump_messages();
// The exit code of a PostQuitMessage that GetMessageW has not yet returned.
std::optional<int> pending_quit();
// Called whenever GetMessageW finds nothing to return, instead of waiting for Qt's events: it
// stands in for the user and the passing of time (move the clock, click, press the close box)
// and should make something happen, or GetMessageW asks it again at once. Empty to wait again.
void on_idle(std::function<void()> idle);

// Message boxes. From this call on, MessageBoxW shows nothing: each box is recorded and
// answered by answer (IDOK when empty).
struct ShownMessageBox {
    HWND owner;
    std::wstring caption;
    std::wstring text;
    UINT type;
};
void intercept_message_boxes(std::function<int(const ShownMessageBox &)> answer = {});
const std::vector<ShownMessageBox> &message_boxes();

// Fonts, pens and brushes created and not yet deleted.
std::size_t live_gdi_objects();

} // namespace qtwindow
