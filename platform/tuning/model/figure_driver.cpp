#include "platform/tuning/model/driver.h"

#include "platform/tuner_level.h"

namespace tuning {

namespace {

// The byte of figure a selector chooses, when it is one of the figure's.
template <std::size_t Bytes>
bool select_byte(const std::uint32_t (&selectors)[Bytes], std::uint32_t figure, std::uint32_t selector,
                 std::uint32_t &byte)
{
    for (std::size_t i = 0; i < Bytes; ++i) {
        if (selectors[i] == selector) {
            byte = (figure >> (8 * (Bytes - 1 - i))) & 0xFF;
            return true;
        }
    }
    return false;
}

} // namespace

Result FigureDriver::select(std::uint32_t selector)
{
    return selector == tuner_level::level_selectors[0] ? read(figures_) : 0;
}

Result FigureDriver::answer(std::uint32_t selector, std::uint32_t &value, std::uint32_t &bytes)
{
    std::uint32_t byte = 0;
    const bool error_byte = select_byte(tuner_level::error_count_selectors, figures_.error_count, selector, byte);
    if (error_byte && !figures_.error_counts)
        return not_supported;
    if (!error_byte && !select_byte(tuner_level::level_selectors, figures_.level_value, selector, byte) &&
        !select_byte(tuner_level::cycle_count_selectors, figures_.cycle_count, selector, byte))
        return invalid_argument;
    // The upper bytes carry other registers of the demodulator.
    const std::uint32_t other = (figures_.level_value * 0x9E3779B1u ^ selector) & 0xFFFFFF;
    value = other << 8 | byte;
    bytes = 4;
    return 0;
}

} // namespace tuning
