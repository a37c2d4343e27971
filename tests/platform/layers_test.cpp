// ISDB-T's layers: each driver's per-layer statistics turned into the API's layout (one row per
// driver family, as their sources in drivers/media/ fill them), and each layer's margin and
// verdict against the required C/N worked out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/tuning/frontend/layouts.h"
#include "platform/tuning/model/layers.h"
#include "support/fake_frontend.h"

namespace {

using tuning::IsdbtParameters;
using tuning::Statistics;

dtv_fe_stats entries(std::vector<dtv_fe_stats> parts)
{
    dtv_fe_stats stats{};
    stats.len = static_cast<std::uint8_t>(parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i)
        stats.stat[i] = parts[i].stat[0];
    return stats;
}

// Layers A (QPSK 2/3, 1 segment) and B (64QAM 3/4, 12 segments) in use, C not.
IsdbtParameters two_layers()
{
    IsdbtParameters parameters;
    parameters.known = true;
    parameters.layers[0] = {QPSK, FEC_2_3, 1, 2};
    parameters.layers[1] = {QAM_64, FEC_3_4, 12, 2};
    return parameters;
}

// Which parts the record gives: "w" whole, "a", "b", "c", for the C/N and the post-code errors.
std::string given(const Measure (&measures)[receiver_parts])
{
    std::string parts;
    for (int part = 0; part < receiver_parts; ++part)
        parts += measures[part].given ? "wabc"[part] : '-';
    return parts;
}
std::string given(const Count (&counts)[receiver_parts])
{
    std::string parts;
    for (int part = 0; part < receiver_parts; ++part)
        parts += counts[part].given ? "wabc"[part] : '-';
    return parts;
}

TEST(LayoutTest, EachDriverFamilysLayersLandInTheApisLayout)
{
    const dtv_fe_stats four_cnr = entries({decibels(22000), decibels(23000), decibels(21000), not_available()});
    const dtv_fe_stats four_errors = entries({counter(9), counter(1), counter(8), not_available()});
    const dtv_fe_stats layers_first = entries({counter(1), counter(8)}); // tc90522: A, B, no whole
    const dtv_fe_stats one_cnr = entries({decibels(22000)});
    struct Row {
        const char *driver;
        dtv_fe_stats cnr;
        dtv_fe_stats errors;
        const char *cnr_parts;
        const char *error_parts;
    } rows[] = {
        {"Fujitsu mb86A20s", four_cnr, four_errors, "wab-", "wab-"},
        {"Siano Mobile Digital MDTV Receiver", one_cnr, four_errors, "w---", "wab-"},
        {"Toshiba TC90522 ISDB-T module", one_cnr, layers_first, "w---", "----"},
        {"Socionext MN88443x", four_cnr, four_errors, "w---", "w---"},
        // Not in the table: each statistic by the API's layout only where its four entries agree with
        // the layers in use (here the C/N gives a layer C that is not).
        {"Some other demod", four_cnr, four_errors, "wab-", "wab-"},
        {"Some other demod", entries({decibels(22000), decibels(23000), decibels(21000), decibels(1000)}), four_errors,
         "w---", "wab-"},
        {"Some other demod", one_cnr, entries({counter(9), counter(1)}), "w---", "w---"},
    };
    for (const Row &row : rows) {
        Statistics statistics;
        statistics.status = FE_HAS_LOCK;
        statistics.cnr = row.cnr;
        statistics.post_errors = row.errors;
        const ReceiverFigures figures = tuning::receiver_figures_from(
            tuning::in_api_layout(statistics, row.driver, two_layers()), true, two_layers(), {});
        EXPECT_EQ(given(figures.carrier_to_noise_db), row.cnr_parts) << row.driver;
        EXPECT_EQ(given(figures.counts[count_post_error_bits]), row.error_parts) << row.driver;
    }
}

TEST(LayersTest, EachLayersMarginAndVerdict)
{
    // Required: QPSK 2/3 6.6 dB, 64QAM 3/4 20.1 dB.
    struct Row {
        double whole_db;
        double layer_b_db; // 0: the driver gives the whole channel's C/N only
        std::uint64_t blocks_before, blocks_now;
        double margin_a, margin_b;
        LayerVerdict verdict_a, verdict_b;
    } rows[] = {
        {25.0, 0, 0, 0, 18.4, 4.9, verdict_good, verdict_good},
        {21.0, 0, 0, 0, 14.4, 0.9, verdict_good, verdict_marginal},
        {19.0, 0, 0, 0, 12.4, -1.1, verdict_good, verdict_failing},
        {25.0, 0, 3, 7, 18.4, 4.9, verdict_good, verdict_failing},     // B's error blocks rose
        {25.0, 20.5, 0, 0, 18.4, 0.4, verdict_good, verdict_marginal}, // B's own C/N counts
    };
    for (const Row &row : rows) {
        ReceiverFigures before{};
        before.counts[count_error_blocks][part_layer_b] = {true, row.blocks_before};
        ReceiverFigures figures{};
        figures.layers_known = true;
        figures.layers[0].in_use = figures.layers[1].in_use = true;
        figures.carrier_to_noise_db[part_whole] = {true, row.whole_db};
        if (row.layer_b_db != 0)
            figures.carrier_to_noise_db[part_layer_b] = {true, row.layer_b_db};
        figures.counts[count_error_blocks][part_layer_b] = {true, row.blocks_now};
        tuning::judge_layers(figures, before, {QPSK, QAM_64, 0}, {FEC_2_3, FEC_3_4, 0});
        EXPECT_NEAR(figures.layers[0].margin_db.value, row.margin_a, 1e-9) << row.whole_db;
        EXPECT_NEAR(figures.layers[1].margin_db.value, row.margin_b, 1e-9) << row.whole_db;
        EXPECT_EQ(figures.layers[0].verdict, row.verdict_a) << row.whole_db;
        EXPECT_EQ(figures.layers[1].verdict, row.verdict_b) << row.whole_db;
        EXPECT_FALSE(figures.layers[2].margin_db.given) << "layer C is not in use";
    }
    ReceiverFigures unknown{};
    unknown.layers_known = true;
    unknown.layers[0].in_use = true;
    unknown.carrier_to_noise_db[part_whole] = {true, 25.0};
    tuning::judge_layers(unknown, {}, {QAM_AUTO, 0, 0}, {FEC_AUTO, 0, 0});
    EXPECT_EQ(unknown.layers[0].verdict, verdict_none) << "no verdict without the layer's modulation";
}

} // namespace
