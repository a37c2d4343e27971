#include "platform/tuning/model/provider.h"

#include <string>

#include "platform/tuning/model/observer.h"

namespace tuning {

Result provider_takes_tuning_space(bool is_dvbt_space)
{
    if (const Result injected = observe("put_TuningSpace"))
        return injected;
    return is_dvbt_space ? 0 : invalid_argument;
}

Result provider_tunes(bool has_tuning_space, int frequency_khz, bool connected_to_tuner)
{
    if (const Result injected = observe("put_TuneRequest", [&] { return std::to_string(frequency_khz); }))
        return injected;
    if (!has_tuning_space || frequency_khz <= 0)
        return unexpected;
    return connected_to_tuner ? tune(frequency_khz) : 0;
}

} // namespace tuning
