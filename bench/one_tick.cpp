// One tick with its repaint, after a warm-up, for counting its instructions under callgrind:
//   valgrind --tool=callgrind --toggle-collect=measured_tick bench/one_tick
#include "window_under_test.h"

extern "C" __attribute__((noinline)) void measured_tick(HWND hwnd) { tick_and_repaint(hwnd); }

int main()
{
    HWND hwnd = start_quiet_window();
    for (int warm_up = 0; warm_up < 3; ++warm_up)
        tick_and_repaint(hwnd);
    measured_tick(hwnd);
    close_window(hwnd);
    return 0;
}
