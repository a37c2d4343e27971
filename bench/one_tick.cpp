// One tick with its repaint, after a warm-up, for counting its instructions under callgrind:
//   valgrind --tool=callgrind --toggle-collect=measured_tick bench/one_tick [align]
// With "align", in alignment mode (its tone silent: no sound server is asked).
#include <cstdlib>
#include <cstring>

#include "window_under_test.h"

extern "C" __attribute__((noinline)) void measured_tick(HWND hwnd) { tick_and_repaint(hwnd); }

int main(int argc, char **argv)
{
    HWND hwnd = start_quiet_window();
    if (argc > 1 && std::strcmp(argv[1], "align") == 0) {
        setenv("PULSE_SERVER", "unix:/nonexistent", 1);
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(align_command, 1), 0);
    }
    for (int warm_up = 0; warm_up < 3; ++warm_up)
        tick_and_repaint(hwnd);
    measured_tick(hwnd);
    close_window(hwnd);
    return 0;
}
