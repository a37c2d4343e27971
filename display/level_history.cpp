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
    const TuneSettings &in_force = applied_settings;
    SampleRecord record = {sample_clock(),      in_force.channel,
                           in_force.catv,       channel_frequency_khz(in_force.channel, in_force.catv),
                           take_level_sample(), sample_failed};
    record.state = sample_state(record.sample);
    level_history[level_history_size - 1] = history_level(record.sample);
    return record;
}
