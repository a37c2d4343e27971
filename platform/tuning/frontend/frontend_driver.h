// A real receiver: the kernel's DVB frontend behind the driver seam.
#pragma once

#include <optional>

#include "platform/tuning/frontend/discovery.h"

namespace tuning {

// The frontend the driver stands for from now on, none when none was found; the device world
// becomes its tuner and capture filters, or has no tuner. When the device goes, it is looked for
// again within the adapter given, or among all.
void use_frontend(std::optional<Frontend> frontend, std::optional<unsigned> adapter = {});
// True once the program has looked for its tuner where no frontend was found.
bool looked_for_missing_frontend();

} // namespace tuning
