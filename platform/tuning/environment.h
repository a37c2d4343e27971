// Which tuner the Linux program reads, as its environment says.
#pragma once

#include <string>

namespace tuning {

// QUORVEX_SIM (with QUORVEX_SIM_SEED) picks the simulated tuner. Returns the one line that says
// what is wrong with a variable, or "" when the world is set up.
std::string configure_from_environment();

} // namespace tuning
