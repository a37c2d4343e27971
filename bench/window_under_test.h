// The monitor's window on the simulated tuner, offscreen, with time driven by the caller.
#pragma once

#include "display/display.h"

// Starts the window as the entry point does, up to its first paint. Sample lines go nowhere.
HWND start_quiet_window();
// One sampling tick, then the repaint it asks for.
void tick_and_repaint(HWND hwnd);
void close_window(HWND hwnd);
