// What the program says of a Wayland display, where the toolkit has only its own messages.
#pragma once

#include <QString>

namespace qtwindow {

// Why a Wayland display that cannot be opened could not be: ": Qt's Wayland support is not
// installed (Debian's qt6-wayland)" when WAYLAND_DISPLAY is the only display and no platform
// plugin for Wayland is where the toolkit looks; "" otherwise.
const char *missing_wayland_support();

// The toolkit's message that its Wayland connection broke, after which it ends the process: ends
// it with the program's own line, naming the display as WAYLAND_DISPLAY does, and exit code 1.
void report_lost_wayland_connection(const QString &message);

} // namespace qtwindow
