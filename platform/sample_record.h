// One tick's record of its sample: made once by the display's tick, and what every output of the
// sample formats: the console line, the history's bar and value box, the log's row, and the
// platform's own services that watch the samples (the metrics on Linux).
#pragma once

#include <ctime>

// What the reading of one figure gave: its value; a zero that has none (a level value of zero, a
// cycle count of zero); or nothing, the reading having failed or not been made.
enum ReadingOutcome { reading_value, reading_zero, reading_failed };

// One sample of the tuner: the level in dB and the error ratio, each with what its reading gave.
// The ratio is not read when the level could not be.
struct LevelSample {
    ReadingOutcome level;
    double level_db; // for reading_value
    ReadingOutcome ratio;
    double error_ratio; // for reading_value
};

// What went wrong first, the level before the ratio: the log's state column, in its order.
enum SampleState { sample_ok, sample_no_level, sample_no_ratio, sample_ratio_failed, sample_failed };
const int sample_state_count = sample_failed + 1;

// The band flag means cable wherever it is set; the program stores 1.
inline bool is_cable(int catv) { return catv != 0; }

struct SampleRecord {
    std::time_t time;
    int channel; // the channel and band in force when the sample was taken
    int catv;
    // What the tuner received: the frequency of that channel; or, off both plans (the channel and
    // band then say nothing), the frequency itself.
    int frequency_khz;
    LevelSample sample;
    SampleState state;
    bool off_plan;
};
