#include "platform/tuning/chardev/carrier_to_noise.h"

#include <cmath>

namespace tuning {

std::optional<std::int64_t> carrier_to_noise_millidecibels(std::uint32_t raw)
{
    if (raw == 0)
        return std::nullopt;
    // tc90522.c: C/N [0.001 dB] = 0.024 P^4 - 1.6 P^3 + 39.8 P^2 + 549.1 P + 3096.5,
    // P = 10 log10(5505024 / raw); the kernel evaluates it in fixed point, this in doubles.
    const double p = 10.0 * std::log10(5505024.0 / raw);
    const double cnr = (((0.024 * p - 1.6) * p + 39.8) * p + 549.1) * p + 3096.5;
    return static_cast<std::int64_t>(std::llround(cnr));
}

} // namespace tuning
