// The tuner's figures as a real receiver would give them: per channel a strong, weak or absent
// multiplex, with noise and slow fading, reproducible for a seed. Integer arithmetic only, so that
// every build of the model gives the same figures.
#pragma once

#include <cstdint>

#include "platform/tuning/model/driver.h"

namespace tuning {

enum class Reception { strong, weak, absent };

Reception reception_at(int frequency_khz);
// Steady: without the noise and the fading, so every sample gives the multiplex's middle level.
Figures figures_for(int frequency_khz, std::uint64_t seed, std::uint64_t sample, bool steady = false);

} // namespace tuning
