// The start-up Windows gives a GUI program, on Linux: standard descriptors that exist, the end of
// the session's requests (signals) as the windows' close, the tuner the environment names, the
// window services (for --headless, the program that has none), then the program's entry point with
// its instance, its command line and the normal show command; at the end, a word for a user whose
// machine has no receiver.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/linux/command_line.h"
#include "platform/linux/termination.h"
#include "platform/linux/texts.h"
#include "platform/linux/wide_text.h"
#include "platform/linux/window_services.h"
#include "platform/platform.h"
#include "platform/tuning/environment.h"
#include "platform/tuning/frontend/frontend_driver.h"

// The program's entry point, with C linkage as the Windows start-up code calls it.
extern "C" int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd);

// A closed standard descriptor would be taken by the next file opened (the display connection,
// say), and the sample lines or diagnostics written into it: each points at /dev/null instead.
static void open_closed_standard_descriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = open("/dev/null", O_RDWR);
        if (opened != fd && opened >= 0) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

int main(int argc, char **argv)
{
    open_closed_standard_descriptors();
    linux_platform::open_catalogue();
    linux_platform::catch_termination_signals();
    const std::string problem = tuning::configure_from_environment();
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }

    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(linux_platform::from_system_bytes(argv[i]));
    std::wstring command_line = linux_platform::quote_arguments(arguments);
    // An option's value never starts with "--", so the argument is the option wherever it stands.
    if (linux_platform::shows_windows &&
        std::find(arguments.begin(), arguments.end(), L"--headless") != arguments.end())
        return linux_platform::run_headless_program(argv);
    linux_platform::start_window_services();
    // Windows' default image base: any non-null value would do, the program only passes it back.
    const auto instance = reinterpret_cast<HINSTANCE>(0x400000);
    const int exit_code = wWinMain(instance, nullptr, command_line.data(), SW_SHOWNORMAL);
    // The program's own lines name only its internal steps: a user with no receiver learns here
    // what was missing, and how to try the program all the same.
    if (exit_code == 1 && tuning::looked_for_missing_frontend())
        std::fputs(translated("quorvex: no receiver was found: no DVB frontend under /dev/dvb, no PT or PX tuner "
                              "under /dev; to try Quorvex without a receiver, run QUORVEX_SIM=default quorvex\n"),
                   stderr);
    return exit_code;
}
