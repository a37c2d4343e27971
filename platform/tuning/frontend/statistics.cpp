#include "platform/tuning/frontend/statistics.h"

#include <algorithm>
#include <cmath>

#include "platform/tuner_level.h"
#include "platform/tuning/model/layers.h"

namespace tuning {

namespace {

using tuner_level::bits_per_cycle;
const std::uint32_t largest_level_value = tuner_level::largest(tuner_level::level_selectors);
const std::uint32_t largest_error_count = tuner_level::largest(tuner_level::error_count_selectors);
const std::uint32_t largest_cycle_count = tuner_level::largest(tuner_level::cycle_count_selectors);
// A C/N outside these (0.001 dB) is a driver's junk, not a measurement.
const std::int64_t lowest_cnr = -20000;
const std::int64_t highest_cnr = 100000;

bool available(const dtv_fe_stats &statistic, std::uint8_t scale)
{
    return statistic.len >= 1 && statistic.stat[0].scale == scale;
}

} // namespace

std::uint32_t level_value_for(std::int64_t cnr_millidecibels)
{
    const double value =
        std::round(tuner_level::level_reference / std::pow(10.0, static_cast<double>(cnr_millidecibels) / 20000.0));
    return static_cast<std::uint32_t>(std::clamp(value, 1.0, static_cast<double>(largest_level_value)));
}

void count_errors(std::uint64_t errors, std::uint64_t bits, Figures &figures)
{
    figures.error_counts = true;
    if (bits == 0) {
        figures.error_count = 0;
        figures.cycle_count = 0;
        return;
    }
    const double ratio = static_cast<double>(errors) / static_cast<double>(bits);
    // The most errors the ratio allows with the most cycles, then the cycle count that carries the
    // ratio best for that whole number of errors: within 1 / (2n) of it.
    const double most = ratio * largest_cycle_count * bits_per_cycle;
    if (most < 1.0) {
        figures.error_count = most < 0.5 ? 0 : 1;
        figures.cycle_count = largest_cycle_count;
        return;
    }
    const double error_count = std::min(std::floor(most), static_cast<double>(largest_error_count));
    const double cycle_count =
        std::clamp(std::round(error_count / (ratio * bits_per_cycle)), 1.0, static_cast<double>(largest_cycle_count));
    figures.error_count = static_cast<std::uint32_t>(error_count);
    figures.cycle_count = static_cast<std::uint32_t>(cycle_count);
}

Figures figures_from(const Statistics &statistics, CounterWindow &window)
{
    Figures figures;
    const std::int64_t cnr = statistics.cnr.stat[0].svalue;
    if ((statistics.status & FE_HAS_LOCK) != 0 && available(statistics.cnr, FE_SCALE_DECIBEL) && cnr >= lowest_cnr &&
        cnr <= highest_cnr)
        figures.level_value = level_value_for(cnr);

    CounterWindow::Pair pair = CounterWindow::Pair::post;
    const dtv_fe_stats *errors = &statistics.post_errors;
    const dtv_fe_stats *total = &statistics.post_total;
    if (!available(*errors, FE_SCALE_COUNTER) || !available(*total, FE_SCALE_COUNTER)) {
        pair = CounterWindow::Pair::pre;
        errors = &statistics.pre_errors;
        total = &statistics.pre_total;
    }
    if (!available(*errors, FE_SCALE_COUNTER) || !available(*total, FE_SCALE_COUNTER)) {
        figures.error_counts = false;
        return figures;
    }
    const std::uint64_t error_bits = errors->stat[0].uvalue;
    const std::uint64_t total_bits = total->stat[0].uvalue;
    // Counters that went down were restarted by the driver: a new window, with nothing counted yet.
    const bool restarted = (window.pair != CounterWindow::Pair::none && window.pair != pair) ||
                           error_bits < window.errors || total_bits < window.total;
    if (restarted) {
        window = {pair, error_bits, total_bits};
    } else if (total_bits != window.total) {
        count_errors(error_bits - window.errors, total_bits - window.total, figures);
        window = {pair, error_bits, total_bits, figures.error_count, figures.cycle_count};
    }
    figures.error_count = window.error_count;
    figures.cycle_count = window.cycle_count;
    return figures;
}

namespace {

void measures(const dtv_fe_stats &statistic, Measure (&measure)[receiver_parts])
{
    for (int part = 0; part < receiver_parts && part < statistic.len; ++part) {
        if (statistic.stat[part].scale == FE_SCALE_DECIBEL)
            measure[part] = {true, static_cast<double>(statistic.stat[part].svalue) / 1000.0};
    }
}

void counts(const dtv_fe_stats &statistic, Count (&count)[receiver_parts])
{
    for (int part = 0; part < receiver_parts && part < statistic.len; ++part) {
        if (statistic.stat[part].scale == FE_SCALE_COUNTER)
            count[part] = {true, statistic.stat[part].uvalue};
    }
}

} // namespace

ReceiverFigures receiver_figures_from(const Statistics &statistics, bool counts_restarted,
                                      const IsdbtParameters &parameters, const ReceiverFigures &before)
{
    ReceiverFigures figures{};
    figures.reported = true;
    figures.status_given = true;
    figures.status = statistics.status;
    figures.counts_restarted = counts_restarted;
    measures(statistics.cnr, figures.carrier_to_noise_db);
    measures(statistics.strength, figures.signal_strength_dbm);
    counts(statistics.pre_errors, figures.counts[count_pre_error_bits]);
    counts(statistics.pre_total, figures.counts[count_pre_bits]);
    counts(statistics.post_errors, figures.counts[count_post_error_bits]);
    counts(statistics.post_total, figures.counts[count_post_bits]);
    counts(statistics.error_blocks, figures.counts[count_error_blocks]);
    counts(statistics.total_blocks, figures.counts[count_blocks]);
    figures.layers_known = parameters.known;
    figures.partial_reception = parameters.partial_reception;
    std::uint32_t modulation[isdbt_layers] = {};
    std::uint32_t fec[isdbt_layers] = {};
    for (int layer = 0; layer < isdbt_layers && parameters.known; ++layer) {
        const LayerParameters &given = parameters.layers[layer];
        // The kernel leaves 0xFFFFFFFF, "not set", in a layer's fields where the driver set none.
        const bool in_use = given.segments >= 1 && given.segments <= 13;
        figures.layers[layer] = {in_use,
                                 in_use ? isdbt_modulation_name(given.modulation) : nullptr,
                                 in_use ? isdbt_code_rate_name(given.fec) : nullptr,
                                 in_use ? static_cast<int>(given.segments) : 0,
                                 in_use ? static_cast<int>(given.interleaving) : 0,
                                 {},
                                 {},
                                 verdict_none};
        modulation[layer] = given.modulation;
        fec[layer] = given.fec;
    }
    judge_layers(figures, before, modulation, fec);
    return figures;
}

} // namespace tuning
