// Alignment mode: the faster ticks, the best level held, the layers' margins, and the tone. The
// tone is the platform's sound service: this file asks it for a pitch, or a tick for a sample
// without a level, so that a person on the roof hears the difference between a weak signal and
// none.
#include <algorithm>
#include <cmath>

#include "display/display.h"

bool alignment_on = false;
bool peak_held = false;
double peak_level_db = 0.0;

ReceiverFigures aligned_receiver{};

// 220 Hz at 0 dB, 440 Hz at 24 dB: about 3 % of pitch a dB over the useful range, kept within
// -10 to 60 dB so that no level is out of hearing.
static double tone_pitch_hz(double level_db) { return 220.0 * std::pow(2.0, std::clamp(level_db, -10.0, 60.0) / 24.0); }

// A semitone a dB of margin, twice the level's steps, as a margin spans a narrower range: 440 Hz
// where the layer has just what it needs, the C above it (523 Hz) at the 3 dB of a good margin,
// kept within -12 dB (220 Hz) and 18 dB (1245 Hz).
static double margin_pitch_hz(double margin_db)
{
    return 440.0 * std::pow(2.0, std::clamp(margin_db, -12.0, 18.0) / 12.0);
}

// The smallest margin of the layers in use, where the receiver gives one.
static bool weakest_margin(const ReceiverFigures &receiver, double &margin_db)
{
    bool found = false;
    for (const LayerReport &layer : receiver.layers) {
        if (!receiver.layers_known || !layer.in_use || !layer.margin_db.given)
            continue;
        margin_db = found ? std::min(margin_db, layer.margin_db.value) : layer.margin_db.value;
        found = true;
    }
    return found;
}

void on_alignment_command(HWND hwnd, WORD command)
{
    if (command == align_command) {
        alignment_on = !alignment_on;
        peak_held = false;
        aligned_receiver = {};
        if (alignment_on)
            start_tone();
        else
            stop_tone();
        // The timer takes its pace from the mode.
        change_sample_pace(hwnd, applied_settings.interval_s);
    } else if (command == reset_peak_command && alignment_on) {
        peak_held = false;
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

void align_to_sample(const SampleRecord &record)
{
    if (!alignment_on)
        return;
    aligned_receiver = record.receiver;
    if (record.sample.level != reading_value) {
        set_tone_pitch(0);
        play_tone_tick();
        return;
    }
    if (!peak_held || record.sample.level_db > peak_level_db)
        peak_level_db = record.sample.level_db;
    peak_held = true;
    double margin_db = 0.0;
    set_tone_pitch(weakest_margin(record.receiver, margin_db) ? margin_pitch_hz(margin_db)
                                                              : tone_pitch_hz(record.sample.level_db));
}
