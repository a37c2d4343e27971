#include "platform/tuning/simulated/receiver.h"

#include <cmath>

#include "platform/tuner_level.h"

namespace tuning {

namespace {

using Shares = std::uint64_t[receiver_parts]; // of the whole's, the whole's being the total

// The 13 segments: layer A the one-segment service, B and C the rest.
const Shares segments = {13, 1, 7, 5};
// The errors fall mostly on the layers of the denser modulations; layer A is robust.
const Shares error_shares = {20, 1, 11, 8};
// Each part's C/N beside the whole's (0.001 dB), as a demodulator measures each layer's apart.
const std::int64_t layer_cnr[receiver_parts] = {0, 400, -200, -300};
// The signal strength (dBm) is the C/N less this.
const std::int64_t strength_below_cnr = 85000;
// Bit errors before the inner code, for one after it; bit errors in an errored block.
const std::uint64_t errors_before_inner_code = 30;
const std::uint64_t errors_per_block = 4;

// A sample's count in the parts' shares, added to the counts before (none after a tune): each
// layer its share, layer C what is left, so that the layers add up to the whole.
void count_shares(std::uint64_t whole, const Shares &shares, const Count (&before)[receiver_parts], bool tuned,
                  int parts, Count (&count)[receiver_parts])
{
    std::uint64_t added[receiver_parts] = {whole, whole * shares[part_layer_a] / shares[part_whole],
                                           whole * shares[part_layer_b] / shares[part_whole], 0};
    added[part_layer_c] = whole - added[part_layer_a] - added[part_layer_b];
    for (int part = 0; part < parts; ++part)
        count[part] = {true, (tuned ? 0 : before[part].value) + added[part]};
}

} // namespace

ReceiverFigures receiver_report(const Figures &figures, Reception reception, const ReceiverFigures &before, bool tuned)
{
    ReceiverFigures report{};
    report.reported = true;
    report.counts_restarted = tuned;
    const bool locked = reception != Reception::absent;
    report.status_given = true;
    report.status = locked ? has_signal | has_carrier | has_viterbi | has_sync | has_lock : has_signal;
    const int parts = locked ? receiver_parts : part_whole + 1;

    // The C/N the level shows, to the 0.001 dB the kernel gives it in.
    const std::int64_t cnr = std::llround(20000.0 * std::log10(tuner_level::level_reference / figures.level_value));
    for (int part = 0; part < parts; ++part)
        report.carrier_to_noise_db[part] = {true, static_cast<double>(cnr + layer_cnr[part]) / 1000.0};
    report.signal_strength_dbm[part_whole] = {true, static_cast<double>(cnr - strength_below_cnr) / 1000.0};

    const std::uint64_t bits = figures.cycle_count * static_cast<std::uint64_t>(tuner_level::bits_per_cycle);
    const std::uint64_t error_bits = figures.error_count;
    const std::uint64_t sample[receiver_counts] = {error_bits * errors_before_inner_code,
                                                   bits,
                                                   error_bits,
                                                   bits,
                                                   (error_bits + errors_per_block - 1) / errors_per_block,
                                                   figures.cycle_count};
    for (int kind = 0; kind < receiver_counts; ++kind) {
        const bool counts_errors =
            kind == count_pre_error_bits || kind == count_post_error_bits || kind == count_error_blocks;
        count_shares(sample[kind], counts_errors ? error_shares : segments, before.counts[kind], tuned, parts,
                     report.counts[kind]);
    }
    return report;
}

} // namespace tuning
