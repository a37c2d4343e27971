#include "platform/simtuner/model/provider.h"

#include <string>

namespace sim {

namespace {
const Result invalid_argument = static_cast<Result>(0x80070057);
const Result unexpected = static_cast<Result>(0x8000FFFF);
} // namespace

Result provider_takes_tuning_space(bool is_dvbt_space)
{
    if (const Result injected = check("put_TuningSpace"))
        return injected;
    return is_dvbt_space ? 0 : invalid_argument;
}

Result provider_tunes(bool has_tuning_space, int frequency_khz, bool connected_to_tuner)
{
    if (const Result injected = check("put_TuneRequest", std::to_string(frequency_khz)))
        return injected;
    if (!has_tuning_space || frequency_khz <= 0)
        return unexpected;
    if (connected_to_tuner)
        tune(frequency_khz);
    return 0;
}

} // namespace sim
