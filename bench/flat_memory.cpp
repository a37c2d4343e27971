// The heap over a million ticks of the running program on the simulated tuner: after a warm-up,
// nothing may grow per sample, since a monitor is left running for days. Prints the growth and
// fails when there is any.
#include <malloc.h>

#include <cstdio>

#include "platform/tuning/simulated/scenarios.h"
#include "window_under_test.h"

static long heap_in_use() { return static_cast<long>(mallinfo2().uordblks); }

int main()
{
    tuning::simulate("default", nullptr); // as the program starts with QUORVEX_SIM=default
    HWND hwnd = start_quiet_window();
    const int warm_up = 10000;
    const int measured = 1000000;
    const int ticks_per_repaint = 100;
    for (int tick = 0; tick < warm_up; ++tick)
        tick_and_repaint(hwnd);
    const long before = heap_in_use();
    for (int tick = 1; tick <= measured; ++tick) {
        if (tick % ticks_per_repaint == 0)
            tick_and_repaint(hwnd);
        else
            SendMessageW(hwnd, WM_TIMER, SAMPLE_TIMER_ID, 0);
    }
    const long growth = heap_in_use() - before;
    close_window(hwnd);
    std::fprintf(stderr, "heap growth over %d ticks after %d of warm-up: %ld bytes\n", measured, warm_up, growth);
    return growth == 0 ? 0 : 1;
}
