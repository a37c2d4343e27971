// The level history: what one sampling tick does to it.
#include "display/display.h"
#include "tuner/tuner.h"

double level_history[level_history_size];

void reset_level_history()
{
    for (double &level : level_history)
        level = 0.0;
}

void record_sample()
{
    for (int i = 1; i < level_history_size; ++i)
        level_history[i - 1] = level_history[i];
    level_history[level_history_size - 1] = take_sample();
}
