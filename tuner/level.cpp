// Level and error figures read through the tuner driver's vendor property, and the console line.
#include <cmath>
#include <cstdio>

#include "tuner/tuner.h"

static const DWORD level_property_id = 3;
static const DWORD level_selectors[] = {0x8B20, 0x8C20, 0x8D20};
static const DWORD error_count_selectors[] = {0xA020, 0xA120, 0xA220};
static const DWORD cycle_count_selectors[] = {0xA620, 0xA720};

// Sentinels: a failed reading (or no tuner), and a level value of zero. A ratio of exactly -1.0
// stands for a zero cycle count, for which no quotient exists.
static const double reading_failed = -2.0;
static const double zero_level = -1.0;
static const double no_ratio = -1.0;

double last_sample_level = reading_failed;
double last_sample_ratio = reading_failed;

int get_level(DWORD selector)
{
    IKsPropertySet *property = nullptr;
    if (pBDATuner->QueryInterface(IID_IKsPropertySet, reinterpret_cast<void **>(&property)) != S_OK) {
        fprintf(stderr, "get_level: QueryInterface\n");
        return -2;
    }
    DWORD selected = selector;
    HRESULT hr = property->Set(PROPSETID_TunerLevel, level_property_id, nullptr, 0, &selected, sizeof selected);
    if (hr != S_OK) {
        property->Release();
        fprintf(stderr, "get_level: IKsPropertySet.Set hr=%08X\n", static_cast<unsigned>(hr));
        return -2;
    }
    DWORD value = 0;
    DWORD returned = 0;
    hr = property->Get(PROPSETID_TunerLevel, level_property_id, &selected, sizeof selected, &value, sizeof value,
                       &returned);
    property->Release();
    if (hr != S_OK || returned != sizeof value)
        return -2;
    return static_cast<int>(value & 0xFF);
}

// Reads the selectors in order into one big-endian number; a failed reading ends it at once.
template <size_t Count> static bool read_figure(const DWORD (&selectors)[Count], double &figure, double &failure)
{
    long long combined = 0;
    for (const DWORD selector : selectors) {
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
        return reading_failed;
    double v = 0;
    double failure = 0;
    if (!read_figure(level_selectors, v, failure))
        return failure;
    if (v == 0)
        return zero_level;
    const double db = 20.0 * log10(5505024.0 / v);
    return db > 99.0 ? 99.0 : db;
}

double get_error_rate()
{
    if (pBDATuner == nullptr)
        return reading_failed;
    double errors = 0;
    double cycles = 0;
    double failure = 0;
    if (!read_figure(error_count_selectors, errors, failure) || !read_figure(cycle_count_selectors, cycles, failure))
        return failure;
    if (cycles == 0)
        return no_ratio;
    return errors / (cycles * 1632.0);
}

double take_sample()
{
    const double level = get_level_db();
    last_sample_level = level;
    last_sample_ratio = reading_failed;
    if (level == reading_failed)
        return 0.0;
    const double ratio = get_error_rate();
    last_sample_ratio = ratio;
    if (level == zero_level)
        printf(" -- |");
    else
        printf(" %4.1f |", level);
    if (ratio == no_ratio)
        printf(" --------- \n");
    else
        printf(" %9.2E\n", ratio);
    // The line is the monitor's log: make it visible at once, even when redirected to a file.
    fflush(stdout);
    return level;
}
