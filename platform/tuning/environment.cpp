#include "platform/tuning/environment.h"

#include <cstdlib>

#include "platform/tuning/simulated/scenarios.h"

namespace tuning {

std::string configure_from_environment()
{
    return simulate(std::getenv("QUORVEX_SIM"), std::getenv("QUORVEX_SIM_SEED"));
}

} // namespace tuning
