#include "window_under_test.h"

#include <QCoreApplication>
#include <cstdio>

#include "platform/qtwindow/application.h"
#include "support/window_hooks.h"

HWND start_quiet_window()
{
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    qtwindow::start_application();
    qtwindow::use_virtual_clock(true);
    return create_main_window(reinterpret_cast<HINSTANCE>(0x400000), SW_SHOWNORMAL);
}

void tick_and_repaint(HWND hwnd)
{
    SendMessageW(hwnd, WM_TIMER, SAMPLE_TIMER_ID, 0);
    UpdateWindow(hwnd);
    // The toolkit's events, as the program's loop takes them next: the window shown, and what
    // changed put on the display.
    QCoreApplication::processEvents();
}

void close_window(HWND hwnd)
{
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    qtwindow::reset();
}
