#include "platform/tuning/simulated/scenarios.h"

#include <climits>
#include <cstdint>

#include "platform/texts.h"
#include "platform/tuning/model/decimal.h"
#include "platform/tuning/model/exchange.h"
#include "platform/tuning/simulated/simulated_driver.h"

namespace tuning {

namespace {

const std::string_view unplug_prefix = "unplug-after=";

} // namespace

bool apply_scenario(std::string_view scenario)
{
    using Devices = SimulatedTrouble::Devices;
    SimulatedTrouble trouble;
    if (scenario == "no-tuner") {
        trouble.devices = Devices::none;
    } else if (scenario == "no-capture") {
        trouble.devices = Devices::tuner_without_capture;
    } else if (scenario == "bind-failure") {
        trouble.devices = Devices::unbindable_tuner;
    } else if (scenario == "set-fails") {
        trouble.set_result = unspecified_failure;
    } else if (scenario == "get-fails") {
        trouble.get_result = unspecified_failure;
    } else if (scenario == "short-answer") {
        trouble.answer_bytes = 2;
    } else if (scenario == "zero-level") {
        trouble.zero_level = true;
    } else if (scenario == "zero-cycles") {
        trouble.zero_cycles = true;
    } else if (scenario == "steady") {
        trouble.steady = true;
    } else if (scenario.starts_with(unplug_prefix)) {
        std::uint64_t samples = 0;
        if (!parse_decimal(scenario.substr(unplug_prefix.size()), INT_MAX, samples))
            return false;
        trouble.unplug_after = static_cast<int>(samples);
    } else if (scenario != "default") {
        return false;
    }
    set_trouble(trouble);
    use_driver(simulated_driver()); // its devices as the trouble lays them out
    return true;
}

std::string simulate(const char *scenario, const char *seed)
{
    reset_for_program();
    if (seed != nullptr) {
        std::uint64_t value = 0;
        if (!parse_decimal(seed, UINT64_MAX, value))
            return formatted(translated("QUORVEX_SIM_SEED: \"%s\" is not a seed; use a decimal number from 0 to "
                                        "18446744073709551615"),
                             seed);
        set_seed(value);
    }
    if (scenario != nullptr && *scenario != 0 && !apply_scenario(scenario))
        return formatted(translated("QUORVEX_SIM: \"%s\" is not a scenario; use default, steady, no-tuner, no-capture, "
                                    "bind-failure, set-fails, get-fails, short-answer, zero-level, zero-cycles or "
                                    "unplug-after=N with N from 0 to 2147483647"),
                         scenario);
    return {};
}

} // namespace tuning
