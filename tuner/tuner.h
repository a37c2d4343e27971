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

// Channel plan and tuning
int channel_frequency_khz(int channel, int catv);
int tune_channel(int channel, int catv);
int request_tuning(int frequency_khz);

// Level readings
int get_level(DWORD selector);
double get_level_db();
double get_error_rate();
double take_sample();
// The figures behind the last take_sample, for a record beside the console line: the level as
// get_level_db returned it, and the ratio as get_error_rate did (-2.0 when it was not read).
extern double last_sample_level;
extern double last_sample_ratio;
