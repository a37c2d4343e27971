#include "platform/qtwindow/timers.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>

#include "platform/qtwindow/seams.h"
#include "platform/qtwindow/window.h"

namespace qtwindow {

namespace {

struct Timer {
    UINT period = 0;
    TIMERPROC procedure = nullptr;
    bool due = false;
    std::unique_ptr<QTimer> qt_timer; // on the real clock
    std::uint64_t next_due_ms = 0;    // on the virtual clock
};

using TimerKey = std::pair<HWND, UINT_PTR>;

struct Timers {
    std::map<TimerKey, Timer> running;
    bool virtual_clock = false;
    std::uint64_t virtual_now_ms = 0;
    bool failing = false;
    QElapsedTimer since_start;
};

} // namespace

// Windows' bounds for a timer's period.
static const UINT shortest_period_ms = 10;
static const UINT longest_period_ms = INT_MAX;

static Timers &timers()
{
    // Never destroyed: Qt's own statics may be gone when static destructors run at exit.
    static auto *state = new Timers;
    return *state;
}

// Starts a timer's period afresh on the clock in use.
static void arm(const TimerKey &key, Timer &timer)
{
    timer.due = false;
    if (timers().virtual_clock) {
        timer.qt_timer.reset();
        timer.next_due_ms = timers().virtual_now_ms + timer.period;
        return;
    }
    timer.qt_timer = std::make_unique<QTimer>();
    QObject::connect(timer.qt_timer.get(), &QTimer::timeout, [key] {
        const auto found = timers().running.find(key);
        if (found != timers().running.end())
            found->second.due = true;
    });
    timer.qt_timer->start(static_cast<int>(timer.period));
}

std::optional<MSG> take_due_timer()
{
    for (auto &[key, timer] : timers().running) {
        if (timer.due) {
            timer.due = false;
            return MSG{key.first, WM_TIMER, key.second, reinterpret_cast<LPARAM>(timer.procedure), tick_count(), {}};
        }
    }
    return std::nullopt;
}

void kill_timers_of(HWND hwnd)
{
    std::erase_if(timers().running, [hwnd](const auto &entry) { return entry.first.first == hwnd; });
}

DWORD tick_count()
{
    if (timers().virtual_clock)
        return static_cast<DWORD>(timers().virtual_now_ms);
    if (!timers().since_start.isValid())
        timers().since_start.start();
    return static_cast<DWORD>(timers().since_start.elapsed());
}

void forget_timers()
{
    timers().running.clear();
    timers().virtual_clock = false;
    timers().virtual_now_ms = 0;
    timers().failing = false;
}

void use_virtual_clock(bool on)
{
    timers().virtual_clock = on;
    for (auto &[key, timer] : timers().running)
        arm(key, timer);
}

void advance_ms(unsigned ms)
{
    const std::uint64_t now = timers().virtual_now_ms += ms;
    for (auto &[key, timer] : timers().running) {
        if (timer.qt_timer || timer.next_due_ms > now)
            continue;
        timer.due = true;
        timer.next_due_ms += ((now - timer.next_due_ms) / timer.period + 1) * timer.period;
    }
}

std::optional<UINT> timer_period(HWND hwnd, UINT_PTR id)
{
    const auto found = timers().running.find({hwnd, id});
    return found == timers().running.end() ? std::nullopt : std::optional<UINT>(found->second.period);
}

void fail_timers(bool on) { timers().failing = on; }

} // namespace qtwindow

using namespace qtwindow;

// Window timers only: a timer without a window is not provided.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    if (timers().failing || find_window(hWnd) == nullptr)
        return 0;
    const TimerKey key{hWnd, nIDEvent};
    // The same window and id replace the running timer and restart its period.
    Timer &timer = timers().running[key];
    timer.period = std::clamp(uElapse, shortest_period_ms, longest_period_ms);
    timer.procedure = lpTimerFunc;
    arm(key, timer);
    return 1;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) { return timers().running.erase({hWnd, uIDEvent}) != 0 ? TRUE : FALSE; }

DWORD GetTickCount() { return tick_count(); }
