// What one sampling tick does with its sample: the level history keeps its level, and the record
// keeps every fact of it for the outputs that show more.
#include "display/display.h"

double level_history[level_history_size];

static std::time_t current_time() { return std::time(nullptr); }
std::time_t (*sample_clock)() = current_time;

void reset_level_history()
{
    for (double &level : level_history)
        level = 0.0;
}

SampleRecord record_sample()
{
    for (int i = 1; i < level_history_size; ++i)
        level_history[i - 1] = level_history[i];
    const std::time_t time = sample_clock();
    const LevelSample sample = take_level_sample();
    // The sample read what the tuner is tuned to, in case another program tuned it.
    follow_watched_tuner();
    const TuneSettings &in_force = applied_settings;
    SampleRecord record = {time,
                           in_force.channel,
                           in_force.catv,
                           reception.off_plan ? reception.frequency_khz
                                              : channel_frequency_khz(in_force.channel, in_force.catv),
                           sample,
                           sample_state(sample),
                           reception.off_plan,
                           receiver_figures(),
                           tuner_source()};
    level_history[level_history_size - 1] = history_level(record.sample);
    return record;
}
