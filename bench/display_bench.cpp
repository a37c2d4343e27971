// Time per sampling tick with its repaint, and from start-up to the first paint.
#include <benchmark/benchmark.h>

#include "window_under_test.h"

static void tick_with_repaint(benchmark::State &state)
{
    HWND hwnd = start_quiet_window();
    for (auto _ : state)
        tick_and_repaint(hwnd);
    close_window(hwnd);
}
BENCHMARK(tick_with_repaint)->Unit(benchmark::kMicrosecond);

static void startup_to_first_paint(benchmark::State &state)
{
    for (auto _ : state) {
        HWND hwnd = start_quiet_window();
        state.PauseTiming();
        close_window(hwnd);
        state.ResumeTiming();
    }
}
BENCHMARK(startup_to_first_paint)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
