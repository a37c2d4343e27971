// The GUI thread's application object, made once where the program (or a test runner) starts,
// before any window service is used: offscreen when there is no display.
#pragma once

#include <string>

namespace qtwindow {

void start_application();

// Why windows cannot be shown, in the program's own line; empty when they can. A display that
// cannot be opened does not stop the start: what needs no window (help, a usage error) still
// answers, and the first window the program asks for is refused with this line.
const std::string &window_system_problem();

} // namespace qtwindow
