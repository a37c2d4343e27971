// The sampling timer: one tick samples the tuner into the history, the log and the alignment
// mode, and asks for a repaint.
#include "display/display.h"

// When the running period began: the last tick, or the arming of the timer.
static DWORD period_start_ms = 0;
// A change of pace shortens the first period to what is left of it; the tick after it arms the
// whole period again.
static bool period_shortened = false;

// In alignment mode the timer runs at its own pace; the interval waits for the mode to end.
static UINT sample_period_ms(int interval_s)
{
    return alignment_on ? alignment_period_ms : static_cast<UINT>(interval_s) * 1000;
}

// A timer that cannot be armed ends the program through its close path, the user told why.
static bool set_sample_timer(HWND hwnd, UINT period_ms)
{
    if (SetTimer(hwnd, SAMPLE_TIMER_ID, period_ms, nullptr) != 0)
        return true;
    report_failure(hwnd, timer_failure_text);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    return false;
}

bool arm_sample_timer(HWND hwnd, int interval_s)
{
    period_start_ms = GetTickCount();
    period_shortened = false;
    return set_sample_timer(hwnd, sample_period_ms(interval_s));
}

// Arming afresh would start the period again at every change: a key pressed faster than the pace
// would stop the sampling altogether.
bool change_sample_pace(HWND hwnd, int interval_s)
{
    const DWORD elapsed_ms = GetTickCount() - period_start_ms;
    const UINT period_ms = sample_period_ms(interval_s);
    period_shortened = true;
    return set_sample_timer(hwnd, elapsed_ms < period_ms ? period_ms - elapsed_ms : 0);
}

void disarm_sample_timer(HWND hwnd) { KillTimer(hwnd, SAMPLE_TIMER_ID); }

void on_sample_timer(HWND hwnd)
{
    if (period_shortened && !arm_sample_timer(hwnd, applied_settings.interval_s))
        return;
    period_start_ms = GetTickCount();
    const TuneSettings before = applied_settings;
    const SampleRecord record = record_sample();
    // Another program, holding the tuner, tuned another channel: the strip shows it too.
    if (record.channel != before.channel || record.catv != before.catv)
        show_applied_channel();
    write_sample_log_row(record);
    // After the alignment mode has the sample, so that the page's best level includes it.
    align_to_sample(record);
    publish_sample(record, window_view());
    InvalidateRect(hwnd, nullptr, FALSE);
}
