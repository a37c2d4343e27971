// A request from the system to end the program (SIGINT, SIGTERM, SIGHUP: Ctrl+C, kill, a terminal
// closed) reaches each top-level window as WM_CLOSE, so the program ends through its close path as
// when its close box is pressed, as Windows closes a program's windows when the session ends. A
// second request while it closes ends it at once, as the signal would have. A signal the program
// was started with ignored (nohup, a script's background job) stays ignored.
//
// The signal handler only writes to a pipe; the window services' loop watches its reading end.
#pragma once

namespace linux_platform {

// From the start of the process, before anything else opens a file.
void catch_termination_signals();
// The pipe's reading end, for the loop to wait on; -1 when it could not be made.
int termination_requests();
// Reads the requests that arrived; true when there was one.
bool take_termination_requests();

} // namespace linux_platform
