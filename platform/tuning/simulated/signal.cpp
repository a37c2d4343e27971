#include "platform/tuning/simulated/signal.h"

#include "platform/tuner_level.h"

namespace tuning {

namespace {

struct Multiplex {
    int frequency_khz;
    std::uint32_t level_value; // at the middle of the fade
};

// 5505024 / v gives the level: 174085 is 30 dB, 1098381 is 14 dB.
const Multiplex multiplexes[] = {
    // terrestrial
    {473000, 174085},  // ch 13, 30 dB
    {491000, 138283},  // ch 16, 32 dB
    {521000, 219164},  // ch 21, 28 dB
    {539000, 1098381}, // ch 24, 14 dB
    {557000, 155158},  // ch 27, 31 dB
    {575000, 873745},  // ch 30, 16 dB
    {671000, 1383001}, // ch 46, 12 dB
    // cable
    {111000, 195359}, // C13, 29 dB
    {231000, 978964}, // C24, 15 dB
    {249000, 155158}, // C27, 31 dB
};
const std::uint32_t weak_above = 500000;    // level values above this are a weak multiplex
const std::uint32_t absent_level = 7775847; // -3 dB: nothing on the channel
const std::uint64_t fade_period = 64;       // samples

std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

std::uint32_t base_level(int frequency_khz)
{
    for (const Multiplex &m : multiplexes)
        if (m.frequency_khz == frequency_khz)
            return m.level_value;
    return absent_level;
}

} // namespace

Reception reception_at(int frequency_khz)
{
    const std::uint32_t level = base_level(frequency_khz);
    if (level == absent_level)
        return Reception::absent;
    return level > weak_above ? Reception::weak : Reception::strong;
}

Figures figures_for(int frequency_khz, std::uint64_t seed, std::uint64_t sample, bool steady)
{
    const std::uint64_t random = mix(seed * 0x100000001B3ULL ^ sample);
    // Slow fading, a triangle of +-2 dB, and +-0.6 dB of noise, both as factors in thousandths.
    const std::uint64_t phase = (sample + seed) % fade_period;
    const std::uint64_t distance = phase > fade_period / 2 ? phase - fade_period / 2 : fade_period / 2 - phase;
    const std::uint64_t fade = steady ? 1000 : 794 + distance * (1259 - 794) / (fade_period / 2);
    const std::uint64_t noise = steady ? 1000 : 930 + random % 146;

    std::uint64_t level = std::uint64_t{base_level(frequency_khz)} * fade / 1000 * noise / 1000;
    if (level < 1)
        level = 1;
    if (level > 0xFFFFFF)
        level = 0xFFFFFF;

    const std::uint64_t cycles = 1900 + (random >> 16) % 200;
    const std::uint64_t bits = cycles * static_cast<std::uint64_t>(tuner_level::bits_per_cycle);
    std::uint64_t errors = 0;
    switch (reception_at(frequency_khz)) {
    case Reception::strong: errors = (random >> 32) % 4; break;
    case Reception::weak:
        errors = bits / 3333 * noise / 1000; // about 3E-04
        break;
    case Reception::absent:
        errors = bits / 20 * noise / 1000; // about 5E-02
        break;
    }
    return {static_cast<std::uint32_t>(level), static_cast<std::uint32_t>(errors), static_cast<std::uint32_t>(cycles),
            true};
}

} // namespace tuning
