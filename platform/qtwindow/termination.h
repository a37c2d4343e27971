// A request from the system to end the program (SIGINT, SIGTERM, SIGHUP: Ctrl+C, kill, a terminal
// closed) reaches each top-level window as WM_CLOSE, so the program ends through its close path as
// when its close box is pressed, as Windows closes a program's windows when the session ends. A
// second request while it closes ends it at once, as the signal would have. A signal the program
// was started with ignored (nohup, a script's background job) stays ignored.
#pragma once

namespace qtwindow {

// From the start of the process, before anything else opens a file.
void close_windows_on_termination_signals();
// The GUI thread's loop hears the requests from when the application object is made.
void hear_termination_requests();

} // namespace qtwindow
