// The window services the program is linked with, as the Linux start-up meets them: those on Qt 6
// (platform/qtwindow/), or those of a program that shows no window (platform/service/), which
// loads no window system, toolkit or font at all.
#pragma once

namespace linux_platform {

// Whether these services show windows.
extern const bool shows_windows;
// Makes them ready, before the program's entry point runs.
void start_window_services();

// A run without a window (--headless) is the program built for it: the desktop program hands
// itself over to it, with the same arguments and process. Returns only when it cannot, with the
// exit code, the reason on standard error.
int run_headless_program(char **argv);

} // namespace linux_platform
