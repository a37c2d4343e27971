// Tuner access: the BDA filter graph around the tuner, channel tuning and level readings.
#pragma once

#include "platform/platform.h"

struct TuneSettings {
    int interval_s; // sampling interval, 1 to 60 s
    int channel;    // 13 to 62 terrestrial, 13 to 63 cable
    int catv;       // 0 terrestrial, 1 cable
};

// As the controls say (after correction), and as in force for the tuner, timer and header. The
// display owns both; init_tuner brings the tuner up on the pending channel.
extern TuneSettings pending_settings;
extern TuneSettings applied_settings;

// Held from init_tuner to release_tuner; the channel and level code only borrows them.
extern IGraphBuilder *pGraph;
extern IBaseFilter *pNProvider;
extern IDVBTuningSpace *pTuningSpace;
extern IBaseFilter *pBDATuner;
extern IBaseFilter *pBDACapture;
extern IBaseFilter *pM2TIF;
extern IBaseFilter *pM2D;

// Graph
int init_tuner();
int build_graph();
int create_filters();
IBaseFilter *find_dev(const WCHAR *name, REFGUID category);
int add_filters(IGraphBuilder *graph);
int connect_filters(IBaseFilter *downstream, IGraphBuilder *graph, IBaseFilter *upstream);
int connect_filters_directly(IBaseFilter *upstream, IGraphBuilder *graph, IPin *input_pin);
int clear_graph();
void release_tuner();

// Channel plan and tuning (the band flag's meaning, is_cable, is in platform/sample_record.h).
// The channels the settings offer in a band: the plan's terrestrial 63 is never offered.
const int lowest_channel = 13;
inline int highest_channel(int catv) { return is_cable(catv) ? 63 : 62; }
int channel_frequency_khz(int channel, int catv);
// The channel of either plan whose frequency lies within a quarter of a channel's width of the
// given one (the plans do not overlap); false for a frequency on neither.
bool channel_at_frequency(int frequency_khz, int &channel, int &catv);
int tune_channel(int channel, int catv);
int request_tuning(int frequency_khz);

// Level readings
int get_level(DWORD selector);
double get_level_db();
double get_error_rate();
double take_sample();

// The kinds of sample (LevelSample, SampleState) are the platform's too: platform/sample_record.h.
SampleState sample_state(const LevelSample &sample);
// Reads one sample and writes its console line: take_sample's work, with every fact kept.
LevelSample take_level_sample();
// What the level history keeps of a sample: 0.0 when it failed, -1.0 for a zero level value.
double history_level(const LevelSample &sample);
