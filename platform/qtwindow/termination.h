// The system's requests to end the program (platform/linux/termination.h) as the Qt window
// services take them: each top-level window gets WM_CLOSE, and every message box, waiting for an
// answer or asked for later, counts as answered.
#pragma once

namespace qtwindow {

// The GUI thread's loop hears the requests from when the application object is made.
void hear_termination_requests();

} // namespace qtwindow
