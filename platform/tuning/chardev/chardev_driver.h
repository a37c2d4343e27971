// A PT or PX tuner's character device behind the driver seam: owned while the program runs, never
// watched, as its driver lets one program open a tuner at a time.
#pragma once

#include <optional>

#include "platform/tuning/chardev/families.h"

namespace tuning {

// The character device the driver stands for from now on; the device world becomes its tuner and
// capture filters.
void use_chardev(Chardev chardev);

} // namespace tuning
