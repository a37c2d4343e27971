// The situations a user can make the simulated tuner meet, named by QUORVEX_SIM.
#pragma once

#include <string>
#include <string_view>

namespace tuning {

// Applies a named scenario to the world; false when the name is unknown or malformed.
bool apply_scenario(std::string_view scenario);

// A fresh world on the simulated tuner with the scenario and seed the environment names (null
// when a variable is unset; an empty scenario is the default). Returns the one line that says
// what is wrong, or "" when all is well.
std::string simulate(const char *scenario, const char *seed);

} // namespace tuning
