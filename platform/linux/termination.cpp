#include "platform/linux/termination.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace linux_platform {

namespace {

const int termination_signals[] = {SIGINT, SIGTERM, SIGHUP};
// The handler's only way to the window services' thread, which does the work.
int request_pipe[2] = {-1, -1};
volatile std::sig_atomic_t requests = 0;

// Only what is safe in a signal handler. The three signals are blocked while it runs, so a count
// of requests needs no more than this.
void on_termination_signal(int signal_number)
{
    requests = requests + 1;
    if (requests == 1) {
        const int saved_errno = errno;
        const char request = 0;
        [[maybe_unused]] const ssize_t written = write(request_pipe[1], &request, 1);
        errno = saved_errno;
        return;
    }
    // Closing already: the signal does what it would have done, once the handler returns.
    struct sigaction default_action = {};
    default_action.sa_handler = SIG_DFL;
    sigaction(signal_number, &default_action, nullptr);
    raise(signal_number);
}

} // namespace

void catch_termination_signals()
{
    if (pipe2(request_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = on_termination_signal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : termination_signals)
        sigaddset(&action.sa_mask, signal_number);
    for (const int signal_number : termination_signals) {
        struct sigaction before = {};
        if (sigaction(signal_number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal_number, &action, nullptr);
    }
}

int termination_requests() { return request_pipe[0]; }

bool take_termination_requests()
{
    bool taken = false;
    char requests_read[16];
    while (request_pipe[0] >= 0 && read(request_pipe[0], requests_read, sizeof requests_read) > 0)
        taken = true;
    return taken;
}

} // namespace linux_platform
