#include "platform/tuning/simulated/scenarios.h"

#include <climits>
#include <cstdint>
#include <initializer_list>

#include "platform/tuning/model/decimal.h"
#include "platform/tuning/model/world.h"
#include "platform/tuning/simulated/simulated_driver.h"

namespace tuning {

namespace {

const std::string_view unplug_prefix = "unplug-after=";

} // namespace

bool apply_scenario(std::string_view scenario)
{
    const PropertyAnswer zero{};
    const Result failure = static_cast<Result>(0x80004005);
    if (scenario == "default")
        return true;
    if (scenario == "no-tuner") {
        set_devices({standard_devices().back()});
    } else if (scenario == "no-capture") {
        std::vector<Device> devices = standard_devices();
        devices[1] = {L"Generic BDA Receiver Component", Category::receiver_component, FilterKind::other};
        set_devices(devices);
    } else if (scenario == "bind-failure") {
        std::vector<Device> devices = standard_devices();
        devices[0].binds = false;
        set_devices(devices);
    } else if (scenario == "set-fails") {
        answer_all({0, 4, failure, 0});
    } else if (scenario == "get-fails") {
        answer_all({0, 4, 0, failure});
    } else if (scenario == "short-answer") {
        answer_all({0, 2, 0, 0});
    } else if (scenario == "zero-level") {
        for (std::uint32_t selector : {0x8B20u, 0x8C20u, 0x8D20u})
            answer(selector, zero);
    } else if (scenario == "zero-cycles") {
        for (std::uint32_t selector : {0xA620u, 0xA720u})
            answer(selector, zero);
    } else if (scenario.starts_with(unplug_prefix)) {
        std::uint64_t samples = 0;
        if (!parse_decimal(scenario.substr(unplug_prefix.size()), INT_MAX, samples))
            return false;
        set_unplug_after(static_cast<int>(samples));
    } else {
        return false;
    }
    return true;
}

std::string simulate(const char *scenario, const char *seed)
{
    reset_for_program();
    if (seed != nullptr) {
        std::uint64_t value = 0;
        if (!parse_decimal(seed, UINT64_MAX, value))
            return "QUORVEX_SIM_SEED: \"" + std::string(seed) +
                   "\" is not a seed; use a decimal number from 0 to 18446744073709551615";
        set_seed(value);
    }
    if (scenario != nullptr && *scenario != 0 && !apply_scenario(scenario))
        return "QUORVEX_SIM: \"" + std::string(scenario) +
               "\" is not a scenario; use default, no-tuner, no-capture, bind-failure, set-fails, get-fails, "
               "short-answer, zero-level, zero-cycles or unplug-after=N with N from 0 to 2147483647";
    return {};
}

} // namespace tuning
