// What the DVB-T network provider decides, whichever COM skin carries it.
#pragma once

#include "platform/tuning/model/exchange.h"

namespace tuning {

// A DVB-T provider takes only a tuning space of the DVB-T network type and terrestrial system.
Result provider_takes_tuning_space(bool is_dvbt_space);

// A tune request needs a tuning space and a locator with a carrier frequency. It reaches the
// device only through the graph's connections: an unconnected provider accepts it and tunes
// nothing. A device that refuses the frequency fails the request.
Result provider_tunes(bool has_tuning_space, int frequency_khz, bool connected_to_tuner);

} // namespace tuning
