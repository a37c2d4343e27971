// One tick, and one sample alone, on the kernel frontend driver (a fake kernel behind the seam)
// beside the same on the simulated tuner, with the kernel calls each sample makes.
#include <benchmark/benchmark.h>

#include "platform/tuning/frontend/discovery.h"
#include "platform/tuning/frontend/frontend_driver.h"
#include "platform/tuning/model/exchange.h"
#include "platform/tuning/simulated/scenarios.h"
#include "support/fake_frontend.h"
#include "tuner/tuner.h"
#include "window_under_test.h"

namespace {

// The world as the program configures it for the simulated tuner, or for a frontend.
HWND start_on_simulated_tuner()
{
    tuning::simulate("default", nullptr);
    return start_quiet_window();
}

HWND start_on_frontend(FakeKernel &fake)
{
    fake.add("/dev/dvb/adapter0/frontend0", {SYS_ISDBT});
    tuning::reset_for_program();
    tuning::use_frontend(tuning::find_frontend({}));
    return start_quiet_window();
}

// The counters move on between samples, as a receiver's do.
void count_on(FakeKernel &fake, std::uint64_t sample)
{
    fake.frontend("/dev/dvb/adapter0/frontend0").count(3 * sample, 1632ULL * 5000 * sample);
}

void tick_on_simulated_tuner(benchmark::State &state)
{
    HWND hwnd = start_on_simulated_tuner();
    for (auto _ : state)
        tick_and_repaint(hwnd);
    close_window(hwnd);
}
BENCHMARK(tick_on_simulated_tuner)->Unit(benchmark::kMicrosecond);

// The action once per iteration on the kernel frontend driver, with the kernel calls it makes.
template <typename Action> void on_kernel_frontend(benchmark::State &state, Action action)
{
    FakeKernel fake;
    HWND hwnd = start_on_frontend(fake);
    const int before = fake.ioctls();
    std::uint64_t samples = 0;
    for (auto _ : state) {
        count_on(fake, ++samples);
        action(hwnd);
    }
    state.counters["kernel_calls_per_sample"] = static_cast<double>(fake.ioctls() - before) / samples;
    close_window(hwnd);
    tuning::reset_for_program(); // off the frontend before the fake kernel goes
}

void tick_on_kernel_frontend(benchmark::State &state) { on_kernel_frontend(state, tick_and_repaint); }
BENCHMARK(tick_on_kernel_frontend)->Unit(benchmark::kMicrosecond);

void sample_on_simulated_tuner(benchmark::State &state)
{
    HWND hwnd = start_on_simulated_tuner();
    for (auto _ : state)
        take_sample();
    close_window(hwnd);
}
BENCHMARK(sample_on_simulated_tuner)->Unit(benchmark::kMicrosecond);

void sample_on_kernel_frontend(benchmark::State &state)
{
    on_kernel_frontend(state, [](HWND) { take_sample(); });
}
BENCHMARK(sample_on_kernel_frontend)->Unit(benchmark::kMicrosecond);

} // namespace
