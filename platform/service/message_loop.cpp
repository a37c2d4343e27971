// The message loop and the timers: GetMessageW returns, in Windows' order, the quit request, the
// close that a request to end the program posts, then a due timer; with none of them it sleeps in
// poll() until the next timer is due or a request arrives.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <deque>
#include <map>
#include <optional>
#include <utility>

#include "platform/linux/termination.h"
#include "platform/service/windows.h"

namespace service_window {

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
    TIMERPROC procedure;
};

std::map<std::pair<HWND, UINT_PTR>, Timer> &timers()
{
    static std::map<std::pair<HWND, UINT_PTR>, Timer> running;
    return running;
}

std::optional<int> quit_code;
std::deque<HWND> closes;

DWORD tick_count()
{
    static const Clock::time_point start = Clock::now();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The due timer that came due first. Periods missed while the program was busy give one
// WM_TIMER, as on Windows.
std::optional<MSG> take_due_timer(Clock::time_point now)
{
    auto first = timers().end();
    for (auto it = timers().begin(); it != timers().end(); ++it)
        if (it->second.due <= now && (first == timers().end() || it->second.due < first->second.due))
            first = it;
    if (first == timers().end())
        return std::nullopt;
    Timer &timer = first->second;
    while (timer.due <= now)
        timer.due += timer.period;
    return MSG{first->first.first, WM_TIMER, first->first.second, reinterpret_cast<LPARAM>(timer.procedure),
               tick_count(),       {}};
}

// Until the next timer is due, in whole milliseconds rounded up; -1 with none.
int wait_ms(Clock::time_point now)
{
    if (timers().empty())
        return -1;
    Clock::time_point next = Clock::time_point::max();
    for (const auto &[key, timer] : timers())
        next = std::min(next, timer.due);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::clamp<decltype(wait)>(wait, 0, INT_MAX));
}

std::optional<MSG> next_message()
{
    if (quit_code) {
        const MSG quit{nullptr, WM_QUIT, static_cast<WPARAM>(*quit_code), 0, tick_count(), {}};
        quit_code.reset();
        return quit;
    }
    if (linux_platform::take_termination_requests())
        for (HWND hwnd : live_windows())
            closes.push_back(hwnd);
    if (!closes.empty()) {
        const HWND hwnd = closes.front();
        closes.pop_front();
        return MSG{hwnd, WM_CLOSE, 0, 0, tick_count(), {}};
    }
    return take_due_timer(Clock::now());
}

} // namespace

void kill_timers_of(HWND hwnd)
{
    std::erase_if(timers(), [hwnd](const auto &entry) { return entry.first.first == hwnd; });
    std::erase(closes, hwnd);
}

} // namespace service_window

using namespace service_window;

// Only the unfiltered form is provided: any window, any message.
BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (lpMsg == nullptr || hWnd != nullptr || wMsgFilterMin != 0 || wMsgFilterMax != 0)
        return -1;
    for (;;) {
        if (const std::optional<MSG> message = next_message()) {
            *lpMsg = *message;
            return message->message != WM_QUIT ? TRUE : FALSE;
        }
        pollfd requests{linux_platform::termination_requests(), POLLIN, 0};
        poll(&requests, requests.fd >= 0 ? 1 : 0, wait_ms(Clock::now()));
    }
}

BOOL TranslateMessage(const MSG *) { return FALSE; }

VOID PostQuitMessage(int nExitCode) { quit_code = nExitCode; }

// Window timers only, on a window of this program; the same window and id replace the running
// timer and restart its period. Windows' bounds for a period.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    const std::vector<HWND> alive = live_windows();
    if (std::find(alive.begin(), alive.end(), hWnd) == alive.end())
        return 0;
    const std::chrono::milliseconds period(std::clamp<UINT>(uElapse, 10, INT_MAX));
    timers()[{hWnd, nIDEvent}] = {period, Clock::now() + period, lpTimerFunc};
    return 1;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) { return timers().erase({hWnd, uIDEvent}) != 0 ? TRUE : FALSE; }

DWORD GetTickCount() { return tick_count(); }
