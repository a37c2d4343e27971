// ISDB-T's per-layer statistics as each driver lays them out, turned into the API's layout (index
// 0 the whole channel, 1 to 3 layers A to C), or marked unknown where the layout cannot be told.
#pragma once

#include <cstdint>
#include <string>

#include "platform/tuning/frontend/statistics.h"

namespace tuning {

// The statistics in the API's layout for the driver named (FE_GET_INFO's name): a driver in the
// table as its source fills them; one not in it, each statistic as the API where it has four
// entries given exactly for the layers in use, otherwise the whole channel's only.
Statistics in_api_layout(const Statistics &statistics, const std::string &driver_name,
                         const IsdbtParameters &parameters);

} // namespace tuning
