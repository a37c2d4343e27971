// The tuner driver's vendor property, PROPSETID_TunerLevel id 3: a Set of a 4-byte selector
// chooses one byte of the demodulator's figures, and a Get with the same selector as instance data
// answers it in the lowest byte of 4. Its one statement, for the program's readings and for every
// driver that stands in for the vendor's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tuner_level {

const std::uint32_t property_id = 3;

// Each figure's bytes, the most significant first.
const std::uint32_t level_selectors[] = {0x8B20, 0x8C20, 0x8D20};       // the level value v, 24 bits
const std::uint32_t error_count_selectors[] = {0xA020, 0xA120, 0xA220}; // the error count e, 24 bits
const std::uint32_t cycle_count_selectors[] = {0xA620, 0xA720};         // the cycle count n, 16 bits

// The largest figure the selectors can carry.
template <std::size_t Bytes> constexpr std::uint32_t largest(const std::uint32_t (&)[Bytes])
{
    return static_cast<std::uint32_t>((std::uint64_t{1} << (8 * Bytes)) - 1);
}

// The level is 20 log10(level_reference / v) dB, the error ratio e / (n x bits_per_cycle), a cycle
// being the 8 x 204 bits of one 204-byte packet.
const double level_reference = 5505024.0; // 0x540000
const double bits_per_cycle = 1632.0;

} // namespace tuner_level
