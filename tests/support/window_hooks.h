// What tests use to drive the window services as time and a user would, and to look at the
// result. Each test should start from reset().
#pragma once

#include <QImage>
#include <QWidget>
#include <string_view>
#include <vector>

#include "platform/qtwindow/seams.h"

namespace qtwindow {

// Destroys every window without messages, and forgets classes, timers, a pending quit, message
// boxes and every hook. Drawing objects stay: on Windows too they belong to the process, and a
// program may keep one for as long as it runs.
void reset();

// Looking. client_image is what GDI painted into the client area; window_image is the window
// as a user sees it, controls included; display_image is what the window system holds for a
// top-level window once the pending updates are done. All are null for an unknown handle.
QImage client_image(HWND hwnd);
QImage window_image(HWND hwnd);
QImage display_image(HWND hwnd);
QWidget *widget_of(HWND hwnd);
// In creation order.
std::vector<HWND> top_level_windows();
std::vector<HWND> children_of(HWND parent);

// Acting, through Qt's input events. A click activates the control's window first, so the
// focus moves as it would under the mouse. type_text clicks into the edit, selects what it
// holds and types the text over it, key by key.
void click(HWND control);
void type_text(HWND edit, std::wstring_view text);
void press_close_box(HWND hwnd);
// A letter or digit key pressed and released, as the keyboard gives it: to the widget with the focus.
void press_key(char key);

} // namespace qtwindow
