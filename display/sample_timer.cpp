// The sampling timer: one tick samples the tuner into the history, the log and the alignment
// mode, and asks for a repaint.
#include "display/display.h"

// In alignment mode the timer runs at its own pace; the interval waits for the mode to end.
BOOL arm_sample_timer(HWND hwnd, int interval_s)
{
    const UINT period_ms = alignment_on ? alignment_period_ms : static_cast<UINT>(interval_s) * 1000;
    return SetTimer(hwnd, SAMPLE_TIMER_ID, period_ms, nullptr) != 0;
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
