// Strict decimal numbers, as the environment variables take them: digits only, none missing, no
// sign, no other base, nothing that wraps.
#pragma once

#include <cstdint>
#include <string_view>

namespace tuning {

inline bool parse_decimal(std::string_view text, std::uint64_t max, std::uint64_t &value)
{
    if (text.empty())
        return false;
    std::uint64_t parsed = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (parsed > (max - digit) / 10)
            return false;
        parsed = parsed * 10 + digit;
    }
    value = parsed;
    return true;
}

} // namespace tuning
