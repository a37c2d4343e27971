// Tuner access: the BDA filter graph around the tuner, channel tuning and level readings.
#pragma once

#include "platform/platform.h"

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

// Channel plan and tuning. The band flag means cable wherever it is set; the program stores 1.
inline bool is_cable(int catv) { return catv != 0; }
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

// What the reading of one figure gave: its value; a zero that has none (a level value of zero, a
// cycle count of zero); or nothing, the reading having failed or not been made.
enum ReadingOutcome { reading_value, reading_zero, reading_failed };
// One sample of the tuner as every output shows it: the level in dB and the error ratio, each with
// what its reading gave. The ratio is not read when the level could not be.
struct LevelSample {
    ReadingOutcome level;
    double level_db; // for reading_value
    ReadingOutcome ratio;
    double error_ratio; // for reading_value
};
// What went wrong first, the level before the ratio: the log's state column.
enum SampleState { sample_ok, sample_no_level, sample_no_ratio, sample_ratio_failed, sample_failed };
SampleState sample_state(const LevelSample &sample);
// Reads one sample and writes its console line: take_sample's work, with every fact kept.
LevelSample take_level_sample();
// What the level history keeps of a sample: 0.0 when it failed, -1.0 for a zero level value.
double history_level(const LevelSample &sample);
