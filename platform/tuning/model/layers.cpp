#include "platform/tuning/model/layers.h"

#include <linux/dvb/frontend.h>

namespace tuning {

namespace {

// Required C/N in dB in AWGN for a bit-error ratio of 2e-4 after the inner (Viterbi) decoder,
// which the outer Reed-Solomon code turns into quasi-error-free reception: ITU-R BT.1306, Annex 1,
// system C (ISDB-T), the table of required C/N by modulation and code rate.
struct Required {
    std::uint32_t modulation;
    double by_rate[5]; // 1/2, 2/3, 3/4, 5/6, 7/8
};
const Required required[] = {
    {DQPSK, {6.2, 7.7, 8.7, 9.6, 10.4}},
    {QPSK, {4.9, 6.6, 7.5, 8.5, 9.1}},
    {QAM_16, {11.5, 13.5, 14.6, 15.6, 16.2}},
    {QAM_64, {16.5, 18.7, 20.1, 21.3, 22.0}},
};

int rate_index(std::uint32_t fec)
{
    switch (fec) {
    case FEC_1_2: return 0;
    case FEC_2_3: return 1;
    case FEC_3_4: return 2;
    case FEC_5_6: return 3;
    case FEC_7_8: return 4;
    default: return -1;
    }
}

const double good_margin_db = 3.0;

} // namespace

const char *isdbt_modulation_name(std::uint32_t modulation)
{
    switch (modulation) {
    case DQPSK: return "DQPSK";
    case QPSK: return "QPSK";
    case QAM_16: return "16QAM";
    case QAM_64: return "64QAM";
    default: return nullptr;
    }
}

const char *isdbt_code_rate_name(std::uint32_t fec)
{
    static const char *const names[] = {"1/2", "2/3", "3/4", "5/6", "7/8"};
    const int index = rate_index(fec);
    return index < 0 ? nullptr : names[index];
}

std::optional<double> required_cnr_db(std::uint32_t modulation, std::uint32_t fec)
{
    const int index = rate_index(fec);
    for (const Required &row : required)
        if (row.modulation == modulation && index >= 0)
            return row.by_rate[index];
    return std::nullopt;
}

void judge_layers(ReceiverFigures &figures, const ReceiverFigures &before,
                  const std::uint32_t (&modulation)[isdbt_layers], const std::uint32_t (&fec)[isdbt_layers])
{
    for (int layer = 0; layer < isdbt_layers; ++layer) {
        LayerReport &report = figures.layers[layer];
        const int part = part_layer_a + layer;
        report.required_db = {};
        report.margin_db = {};
        report.verdict = verdict_none;
        const std::optional<double> needed = required_cnr_db(modulation[layer], fec[layer]);
        if (!figures.layers_known || !report.in_use || !needed.has_value())
            continue;
        report.required_db = {true, *needed};
        const Measure &cnr = figures.carrier_to_noise_db[part].given ? figures.carrier_to_noise_db[part]
                                                                     : figures.carrier_to_noise_db[part_whole];
        if (!cnr.given)
            continue;
        report.margin_db = {true, cnr.value - *needed};
        const Count &blocks = figures.counts[count_error_blocks][part];
        const Count &blocks_before = before.counts[count_error_blocks][part];
        const bool blocks_rising =
            !figures.counts_restarted && blocks.given && blocks_before.given && blocks.value > blocks_before.value;
        if (blocks_rising || report.margin_db.value < 0)
            report.verdict = verdict_failing;
        else
            report.verdict = report.margin_db.value >= good_margin_db ? verdict_good : verdict_marginal;
    }
}

} // namespace tuning
