// The simulated tuner: the signal model behind the driver seam, for tests and for running the
// program on a machine without a receiver.
#pragma once

#include <cstdint>

#include "platform/tuning/model/driver.h"

namespace tuning {

Driver &simulated_driver();
// Back to the first sample, seed 1, never unplugged: done by the world's reset.
void restart_simulated_driver();
void set_seed(std::uint64_t seed);
void set_unplug_after(int samples); // negative: never

} // namespace tuning
