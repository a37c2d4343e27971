// The tuner's figures as a real receiver would give them: per channel a strong, weak or absent
// multiplex, with noise and slow fading, reproducible for a seed. Integer arithmetic only, so that
// every build of the model gives the same figures.
#pragma once

#include <cstdint>

namespace sim {

struct Figures {
    std::uint32_t level_value; // 24 bits: 5505024 / v is the level as a power ratio
    std::uint32_t error_count; // 24 bits
    std::uint32_t cycle_count; // 16 bits
};

enum class Reception { strong, weak, absent };

Reception reception_at(int frequency_khz);
Figures figures_for(int frequency_khz, std::uint64_t seed, std::uint64_t sample);

} // namespace sim
