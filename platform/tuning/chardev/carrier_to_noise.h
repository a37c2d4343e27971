// The C/N the PT and PX drivers hand over: the raw CNDAT register of the Toshiba TC90522 family's
// ISDB-T demodulator (px4_drv converts its Sony demodulators' figure to the same scale).
#pragma once

#include <cstdint>
#include <optional>

namespace tuning {

// The C/N in 0.001 dB, as the kernel's own driver for that demodulator computes it
// (drivers/media/dvb-frontends/tc90522.c); nothing for a raw value of 0, which has none.
std::optional<std::int64_t> carrier_to_noise_millidecibels(std::uint32_t raw);

} // namespace tuning
