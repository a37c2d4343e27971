// The sampling timer: one tick samples the tuner into the history and the log, and asks for a
// repaint.
#include "display/display.h"

BOOL arm_sample_timer(HWND hwnd, int interval_s)
{
    return SetTimer(hwnd, SAMPLE_TIMER_ID, static_cast<UINT>(interval_s) * 1000, nullptr) != 0;
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
    InvalidateRect(hwnd, nullptr, FALSE);
}
