// One tick's record of its sample: made once by the display's tick, and what every output of the
// sample formats: the console line, the history's bar and value box, the log's row, and the
// platform's own services that watch the samples (the metrics on Linux).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

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
// The state in the words the log and the metrics give it.
inline const char *sample_state_word(SampleState state)
{
    static const char *const words[sample_state_count] = {"ok", "no-level", "no-ratio", "ratio-failed", "failed"};
    return words[state];
}

// The band flag means cable wherever it is set; the program stores 1.
inline bool is_cable(int catv) { return catv != 0; }

// What the receiver's own driver reported with the sample, where it reports more than the vendor
// property carries (a kernel DVB frontend on Linux; nothing on Windows): the lock flags, and each
// figure for the whole channel and, on ISDB-T, for each layer, where the driver marked it given.
enum ReceiverPart { part_whole, part_layer_a, part_layer_b, part_layer_c, receiver_parts };
enum ReceiverCount {
    count_pre_error_bits, // before the inner code, where a driver counts only there
    count_pre_bits,
    count_post_error_bits, // after it
    count_post_bits,
    count_error_blocks,
    count_blocks,
    receiver_counts
};
// The lock flags, with the values of the kernel's FE_HAS_* bits.
enum ReceiverStatus : std::uint32_t {
    has_signal = 0x01,
    has_carrier = 0x02,
    has_viterbi = 0x04,
    has_sync = 0x08,
    has_lock = 0x10
};
struct Measure {
    bool given;
    double value;
};
struct Count {
    bool given;
    std::uint64_t value; // since the driver last started counting
};
// An ISDB-T layer's transmission parameters as the driver reports them after lock, and its margin:
// the C/N it receives against the C/N its modulation and code rate need for quasi-error-free
// reception. good: 3 dB of margin or more; marginal: 0 to 3 dB; failing: below 0, or its error
// blocks rising; none where a figure is missing.
enum LayerVerdict { verdict_none, verdict_good, verdict_marginal, verdict_failing };
inline const char *layer_verdict_word(LayerVerdict verdict)
{
    static const char *const words[] = {"", "good", "marginal", "failing"};
    return words[verdict];
}
struct LayerReport {
    bool in_use;            // the layer carries segments
    const char *modulation; // "DQPSK", "QPSK", "16QAM", "64QAM"; null when unknown
    const char *code_rate;  // "1/2", "2/3", "3/4", "5/6", "7/8"; null when unknown
    int segments;           // 1 to 13
    int interleaving;       // the time interleaving's length I: 0, 1, 2, 4 (or 8, 16 in mode 1)
    Measure required_db;    // what the modulation and code rate need
    Measure margin_db;      // the layer's C/N less required_db
    LayerVerdict verdict;
};
const int isdbt_layers = 3;
struct ReceiverFigures {
    bool reported;     // the driver reported figures with this sample
    bool status_given; // the driver reports its lock flags
    std::uint32_t status;
    Measure carrier_to_noise_db[receiver_parts];
    Measure signal_strength_dbm[receiver_parts];
    Count counts[receiver_counts][receiver_parts];
    // The driver started its counts again since its last report (a tune, by the program or by
    // another program that holds the tuner): they count from zero, not on from the last report.
    bool counts_restarted;
    // ISDB-T's layers A to C, where the driver reports their parameters; the per-layer figures
    // above (parts A to C) are given only where the driver's layout of them is known.
    bool layers_known;
    bool partial_reception;
    LayerReport layers[isdbt_layers];
};

// The tuner a sample was read from, as the platform names it: its driver and device (on Linux
// "frontend" or "chardev" and its node, or "simulated" and none), whether the program only
// watches it while another program holds it, and whether its level is a calibrated C/N.
struct TunerSource {
    std::string driver;
    std::string device;
    bool watched;
    bool uncalibrated;
};

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
    ReceiverFigures receiver;
    TunerSource tuner{};
};
