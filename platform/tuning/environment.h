// Which tuner the Linux program reads, as its environment says.
#pragma once

#include <string>

namespace tuning {

// QUORVEX_SIM set to a scenario (with QUORVEX_SIM_SEED) picks the simulated tuner; otherwise the
// first receiver, within the adapter QUORVEX_ADAPTER names. Returns the one line that
// says what is wrong with a variable, or "" when the world is set up.
std::string configure_from_environment();

} // namespace tuning
