// Renders the monitor's window offscreen after 30 samples of the simulated tuner, into a PNG; with
// "align", 30 samples of alignment mode. QUORVEX_SIM and QUORVEX_SIM_SEED choose the scenario and
// its seed, as for the program:
//   quorvex_screenshot OUTPUT.png [channel [align]]
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/display.h"
#include "platform/qtwindow/application.h"
#include "platform/tuning/simulated/scenarios.h"
#include "support/window_hooks.h"

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: quorvex_screenshot OUTPUT.png [channel [align]]\n");
        return 2;
    }
    const std::string problem = tuning::simulate(std::getenv("QUORVEX_SIM"), std::getenv("QUORVEX_SIM_SEED"));
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }
    qtwindow::start_application();
    qtwindow::use_virtual_clock(true);
    if (argc > 2)
        pending_settings.channel = applied_settings.channel = std::atoi(argv[2]);
    alignment_on = argc > 3 && std::strcmp(argv[3], "align") == 0;
    HWND hwnd = create_main_window(reinterpret_cast<HINSTANCE>(0x400000), SW_SHOWNORMAL);
    if (hwnd == nullptr)
        return 1;
    for (int tick = 0; tick < level_history_size; ++tick) {
        qtwindow::advance_ms(alignment_on ? alignment_period_ms : 1000);
        qtwindow::pump_messages();
    }
    const bool saved = qtwindow::window_image(hwnd).save(argv[1]);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    return saved ? 0 : 1;
}
