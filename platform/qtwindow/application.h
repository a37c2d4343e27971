// The GUI thread's application object.
#pragma once

#include <QApplication>

namespace qtwindow {

// Made on first use, offscreen when there is no display, so the services behave the same under
// the program's own start-up and under a test runner's main.
QApplication &application();

} // namespace qtwindow
