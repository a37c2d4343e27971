// The simulated tuner: the signal model behind the driver seam, for tests and for running the
// program on a machine without a receiver.
#pragma once

#include <cstdint>

#include "platform/tuning/model/driver.h"

namespace tuning {

// What the simulated tuner is made to do, beyond giving its signal.
struct SimulatedTrouble {
    enum class Devices { tuner, none, tuner_without_capture, unbindable_tuner };
    Devices devices = Devices::tuner;
    Result set_result = 0; // every property Set fails with it
    Result get_result = 0; // every property Get fails with it
    std::uint32_t answer_bytes = 4;
    bool zero_level = false;  // the level value reads as zero
    bool zero_cycles = false; // the cycle count reads as zero
    int unplug_after = -1;    // samples before the device goes; negative: never
    bool steady = false;      // neither noise nor fading: each multiplex at its middle level
};

Driver &simulated_driver();
// Back to the first sample, seed 1, no trouble: done by the world's reset.
void restart_simulated_driver();
void set_seed(std::uint64_t seed);
void set_trouble(const SimulatedTrouble &trouble);

} // namespace tuning
