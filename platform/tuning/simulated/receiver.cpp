#include "platform/tuning/simulated/receiver.h"

#include <cmath>

#include "platform/tuner_level.h"
#ifndef _WIN32
#include <linux/dvb/frontend.h>

#include "platform/tuning/model/layers.h"
#endif

namespace tuning {

namespace {

using Shares = std::uint64_t[receiver_parts]; // of the whole's, the whole's being the total

// The 13 segments as a Japanese broadcaster lays them out: layer A the one-segment service (QPSK
// 2/3), layer B the other twelve (64QAM 3/4), layer C unused.
const Shares segments = {13, 1, 12, 0};
const int layers_in_use = 2;
// The errors fall on the layer of the denser modulation: layer A, far above what it needs while
// the channel locks at all, counts none.
const Shares error_shares = {1, 0, 1, 0};
// Each layer's C/N beside the whole's (0.001 dB), as a demodulator measures each layer's apart.
const std::int64_t layer_cnr[receiver_parts] = {0, 400, -200, 0};
// The signal strength (dBm) is the C/N less this.
const std::int64_t strength_below_cnr = 85000;
// Bit errors before the inner code, for one after it; bit errors in an errored block. The outer
// code corrects every block while the bit-error ratio after the inner code stays below 2e-4.
const std::uint64_t errors_before_inner_code = 30;
const std::uint64_t errors_per_block = 4;
const std::uint64_t bits_per_corrected_error = 5000;

// A sample's count in the parts' shares, added to the counts before (none after a tune): layer A
// its share, layer B what is left, so that the layers add up to the whole.
void count_shares(std::uint64_t whole, const Shares &shares, const Count (&before)[receiver_parts], bool tuned,
                  int parts, Count (&count)[receiver_parts])
{
    const std::uint64_t layer_a = whole * shares[part_layer_a] / shares[part_whole];
    const std::uint64_t added[receiver_parts] = {whole, layer_a, whole - layer_a, 0};
    for (int part = 0; part < parts; ++part)
        count[part] = {true, (tuned ? 0 : before[part].value) + added[part]};
}

// What each layer carries (its time interleaving as in mode 3), and its margin against what it
// needs.
void report_layers(ReceiverFigures &report, [[maybe_unused]] const ReceiverFigures &before)
{
    report.layers_known = true;
    report.layers[0] = {true, "QPSK", "2/3", 1, 4, {}, {}, verdict_none};
    report.layers[1] = {true, "64QAM", "3/4", 12, 2, {}, {}, verdict_none};
#ifndef _WIN32
    // Judged in the kernel's terms. quorvex.exe, which this receiver serves under Wine too, shows
    // no layers.
    judge_layers(report, before, {QPSK, QAM_64, QAM_AUTO}, {FEC_2_3, FEC_3_4, FEC_NONE});
#endif
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
    const int parts = locked ? part_layer_a + layers_in_use : part_whole + 1;

    // The C/N the level shows, to the 0.001 dB the kernel gives it in.
    const std::int64_t cnr = std::llround(20000.0 * std::log10(tuner_level::level_reference / figures.level_value));
    for (int part = 0; part < parts; ++part)
        report.carrier_to_noise_db[part] = {true, static_cast<double>(cnr + layer_cnr[part]) / 1000.0};
    report.signal_strength_dbm[part_whole] = {true, static_cast<double>(cnr - strength_below_cnr) / 1000.0};

    const std::uint64_t bits = figures.cycle_count * static_cast<std::uint64_t>(tuner_level::bits_per_cycle);
    const std::uint64_t error_bits = figures.error_count;
    const std::uint64_t error_blocks =
        error_bits * bits_per_corrected_error < bits ? 0 : (error_bits + errors_per_block - 1) / errors_per_block;
    const std::uint64_t sample[receiver_counts] = {
        error_bits * errors_before_inner_code, bits, error_bits, bits, error_blocks, figures.cycle_count};
    for (int kind = 0; kind < receiver_counts; ++kind) {
        const bool counts_errors =
            kind == count_pre_error_bits || kind == count_post_error_bits || kind == count_error_blocks;
        count_shares(sample[kind], counts_errors ? error_shares : segments, before.counts[kind], tuned, parts,
                     report.counts[kind]);
    }
    if (locked)
        report_layers(report, before);
    return report;
}

} // namespace tuning
