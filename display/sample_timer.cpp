// The sampling timer: one tick samples the tuner into the history, the log and the alignment
// mode, and asks for a repaint.
#include "display/display.h"

// In alignment mode the timer runs at its own pace; the interval waits for the mode to end. A
// timer that cannot be armed ends the program through its close path, the user told why.
bool arm_sample_timer(HWND hwnd, int interval_s)
{
    const UINT period_ms = alignment_on ? alignment_period_ms : static_cast<UINT>(interval_s) * 1000;
    if (SetTimer(hwnd, SAMPLE_TIMER_ID, period_ms, nullptr) != 0)
        return true;
    report_failure(hwnd, timer_failure_text);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    return false;
}

void disarm_sample_timer(HWND hwnd) { KillTimer(hwnd, SAMPLE_TIMER_ID); }

void on_sample_timer(HWND hwnd)
{
    const TuneSettings before = applied_settings;
    const SampleRecord record = record_sample();
    // Another program, holding the tuner, tuned another channel: the strip shows it too.
    if (record.channel != before.channel || record.catv != before.catv)
        show_applied_channel();
    write_sample_log_row(record);
    publish_sample(record);
    align_to_sample(record);
    InvalidateRect(hwnd, nullptr, FALSE);
}
