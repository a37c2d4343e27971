// Level and error figures read through the tuner driver's vendor property, and the console line.
#include <cmath>
#include <cstdio>

#include "tuner/tuner.h"

// Sentinels: a failed reading (or no tuner), and a level value of zero. A ratio of exactly -1.0
// stands for a zero cycle count, for which no quotient exists.
static const double reading_failed_value = -2.0;
static const double zero_level = -1.0;
static const double no_ratio = -1.0;

int get_level(DWORD selector)
{
    IKsPropertySet *property = nullptr;
    if (pBDATuner->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void **>(&property)) != S_OK) {
        fprintf(stderr, "get_level: QueryInterface\n");
        return -2;
    }
    DWORD selected = selector;
    HRESULT hr = property->Set(PROPSETID_TunerLevel, tuner_level::property_id, nullptr, 0, &selected, sizeof selected);
    if (hr != S_OK) {
        property->Release();
        fprintf(stderr, "get_level: IKsPropertySet.Set hr=%08X\n", static_cast<unsigned>(hr));
        return -2;
    }
    DWORD value = 0;
    DWORD returned = 0;
    hr = property->Get(PROPSETID_TunerLevel, tuner_level::property_id, &selected, sizeof selected, &value, sizeof value,
                       &returned);
    property->Release();
    if (hr != S_OK || returned != sizeof value)
        return -2;
    return static_cast<int>(value & 0xFF);
}

// Reads the selectors in order into one big-endian number; a failed reading ends it at once.
template <size_t Count>
static bool read_figure(const std::uint32_t (&selectors)[Count], double &figure, double &failure)
{
    long long combined = 0;
    for (const std::uint32_t selector : selectors) {
        const int reading = get_level(selector);
        if (reading < 0) {
            failure = reading;
            return false;
        }
        combined = combined * 256 + reading;
    }
    figure = static_cast<double>(combined);
    return true;
}

double get_level_db()
{
    if (pBDATuner == nullptr)
        return reading_failed_value;
    double v = 0;
    double failure = 0;
    if (!read_figure(tuner_level::level_selectors, v, failure))
        return failure;
    if (v == 0)
        return zero_level;
    const double db = 20.0 * log10(tuner_level::level_reference / v);
    return db > 99.0 ? 99.0 : db;
}

double get_error_rate()
{
    if (pBDATuner == nullptr)
        return reading_failed_value;
    double errors = 0;
    double cycles = 0;
    double failure = 0;
    if (!read_figure(tuner_level::error_count_selectors, errors, failure) ||
        !read_figure(tuner_level::cycle_count_selectors, cycles, failure))
        return failure;
    if (cycles == 0)
        return no_ratio;
    return errors / (cycles * tuner_level::bits_per_cycle);
}

// The sentinels end here: everything after this reads what each reading gave.
static ReadingOutcome outcome_of(double figure, double zero)
{
    return figure == reading_failed_value ? reading_failed : figure == zero ? reading_zero : reading_value;
}

static void write_sample_line(const LevelSample &sample)
{
    if (sample.level == reading_failed)
        return;
    if (sample.level == reading_zero)
        printf(" -- |");
    else
        printf(" %4.1f |", sample.level_db);
    if (sample.ratio == reading_zero)
        printf(" --------- \n");
    else
        printf(" %9.2E\n", sample.ratio == reading_failed ? reading_failed_value : sample.error_ratio);
    // The line is the monitor's log: make it visible at once, even when redirected to a file.
    fflush(stdout);
}

LevelSample take_level_sample()
{
    LevelSample sample = {reading_failed, 0.0, reading_failed, 0.0};
    sample.level_db = get_level_db();
    sample.level = outcome_of(sample.level_db, zero_level);
    if (sample.level != reading_failed) {
        sample.error_ratio = get_error_rate();
        sample.ratio = outcome_of(sample.error_ratio, no_ratio);
    }
    write_sample_line(sample);
    return sample;
}

double history_level(const LevelSample &sample)
{
    switch (sample.level) {
    case reading_value: return sample.level_db;
    case reading_zero: return zero_level;
    case reading_failed: break;
    }
    return 0.0;
}

double take_sample() { return history_level(take_level_sample()); }

SampleState sample_state(const LevelSample &sample)
{
    if (sample.level != reading_value)
        return sample.level == reading_zero ? sample_no_level : sample_failed;
    if (sample.ratio != reading_value)
        return sample.ratio == reading_zero ? sample_no_ratio : sample_ratio_failed;
    return sample_ok;
}
