// Display window: the settings, the level history and the sampling timer's identity.
#pragma once

#include "platform/platform.h"

struct TuneSettings {
    int interval_s; // sampling interval, 1 to 60 s
    int channel;    // 13 to 62 terrestrial, 13 to 63 cable
    int catv;       // 0 terrestrial, 1 cable
};

// As the controls say (after correction), and as in force for the tuner, timer and header.
extern TuneSettings pending_settings;
extern TuneSettings applied_settings;

// The last 30 levels, oldest first; index 29 is the newest sample.
const int level_history_size = 30;
extern double level_history[level_history_size];

const UINT SAMPLE_TIMER_ID = 0x7FFF;

void reset_level_history();
void record_sample();
