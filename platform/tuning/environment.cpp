#include "platform/tuning/environment.h"

#include <cstdlib>
#include <optional>

#include "platform/texts.h"
#include "platform/tuning/model/decimal.h"
#include "platform/tuning/model/exchange.h"
#include "platform/tuning/receivers.h"
#include "platform/tuning/simulated/scenarios.h"

namespace tuning {

namespace {

// The kernel numbers adapters below 256.
const std::uint64_t highest_adapter = 255;

} // namespace

std::string configure_from_environment()
{
    // Only an explicit request simulates: a user must never take simulated figures for their antenna's.
    const char *scenario = std::getenv("QUORVEX_SIM");
    if (scenario != nullptr && *scenario != 0)
        return simulate(scenario, std::getenv("QUORVEX_SIM_SEED"));

    std::optional<unsigned> adapter;
    if (const char *text = std::getenv("QUORVEX_ADAPTER")) {
        std::uint64_t number = 0;
        if (!parse_decimal(text, highest_adapter, number))
            return formatted(
                translated("QUORVEX_ADAPTER: \"%s\" is not an adapter number; use a decimal number from 0 to 255"),
                text);
        adapter = static_cast<unsigned>(number);
    }
    reset_for_program();
    use_first_receiver(adapter);
    return {};
}

} // namespace tuning
