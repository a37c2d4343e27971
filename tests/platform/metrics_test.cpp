// The page a scrape reads after a run of samples: each figure of the last sample under its name
// and absent where that sample has none, every sample's level and ratio in the summaries, the
// whole channel and ISDB-T's layers in families of their own, and the driver's counts as counters
// that only rise, across its restarts and its silences.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "platform/linux/metrics_page.h"

namespace {

// The page's sample lines, without the HELP and TYPE lines.
std::string samples_of(const std::string &page)
{
    std::stringstream lines(page);
    std::string line;
    std::string kept;
    while (std::getline(lines, line))
        if (!line.starts_with('#'))
            kept += line + "\n";
    return kept;
}

std::string page_after(const std::vector<SampleRecord> &records)
{
    linux_platform::MetricsSnapshot snapshot;
    snapshot.version = "1.0.0.1";
    for (const SampleRecord &record : records)
        linux_platform::tally_sample(record, snapshot);
    return samples_of(linux_platform::metrics_page(snapshot));
}

// What a driver reported, figure by figure.
struct Report {
    ReceiverFigures figures{};
    explicit Report(bool counts_restarted = false)
    {
        figures.reported = true;
        figures.counts_restarted = counts_restarted;
    }
    Report &status(std::uint32_t flags)
    {
        figures.status_given = true;
        figures.status = flags;
        return *this;
    }
    Report &cnr(int part, double db)
    {
        figures.carrier_to_noise_db[part] = {true, db};
        return *this;
    }
    Report &count(ReceiverCount kind, int part, std::uint64_t value)
    {
        figures.counts[kind][part] = {true, value};
        return *this;
    }
    Report &layer(int index, LayerReport report)
    {
        figures.layers_known = true;
        figures.layers[index] = report;
        return *this;
    }
};

const LevelSample level_and_ratio = {reading_value, 24.5, reading_value, 3.2e-4};
const LevelSample failed = {reading_failed, 0.0, reading_failed, 0.0};

// 2026-12-07 13:16:05 UTC on cable 27.
SampleRecord record(LevelSample sample, SampleState state)
{
    return {
        1796649365, 27, 1, 249000, sample, state, false, {}, {"frontend", "/dev/dvb/adapter0/frontend0", false, false}};
}
SampleRecord record(LevelSample sample, SampleState state, const Report &report)
{
    SampleRecord made = record(sample, state);
    made.receiver = report.figures;
    return made;
}

TEST(MetricsPage, EachFigureOfTheLastSampleUnderItsName)
{
    const Report first = Report(true)
                             .status(has_signal | has_carrier | has_lock)
                             .cnr(part_whole, 24.5)
                             .cnr(part_layer_a, -1.25)
                             .cnr(part_layer_b, 26) // layer C not given
                             .count(count_post_error_bits, part_whole, 100)
                             .count(count_post_error_bits, part_layer_a, 40)
                             .count(count_post_bits, part_whole, 1000000)
                             .count(count_post_bits, part_layer_a, 300000);
    // Retuned: the driver counts from zero again; the sums go on by all it counts since.
    Report second = first;
    second.count(count_post_error_bits, part_whole, 5)
        .count(count_post_error_bits, part_layer_a, 2)
        .count(count_post_bits, part_whole, 20000)
        .count(count_post_bits, part_layer_a, 6000);
    EXPECT_EQ(page_after({record(level_and_ratio, sample_ok, first),
                          record({reading_value, -1.5, reading_zero, -1.0}, sample_no_ratio, second)}),
              "quorvex_info{version=\"1.0.0.1\",driver=\"frontend\",device=\"/dev/dvb/adapter0/frontend0\","
              "mode=\"tunes\"} 1\n"
              "quorvex_samples_total{state=\"ok\"} 1\n"
              "quorvex_samples_total{state=\"no-level\"} 0\n"
              "quorvex_samples_total{state=\"no-ratio\"} 1\n"
              "quorvex_samples_total{state=\"ratio-failed\"} 0\n"
              "quorvex_samples_total{state=\"failed\"} 0\n"
              "quorvex_sampled_level_decibels_sum{sign=\"positive\"} 24.5\n"
              "quorvex_sampled_level_decibels_count{sign=\"positive\"} 1\n"
              "quorvex_sampled_level_decibels_sum{sign=\"negative\"} 1.5\n"
              "quorvex_sampled_level_decibels_count{sign=\"negative\"} 1\n"
              "quorvex_sampled_bit_error_ratio_sum 0.00032\n"
              "quorvex_sampled_bit_error_ratio_count 1\n"
              "quorvex_last_sample_timestamp_seconds 1796649365\n"
              "quorvex_level_decibels -1.5\n"
              "quorvex_tuned_frequency_hertz 249000000\n"
              "quorvex_channel{band=\"CATV\"} 27\n"
              "quorvex_frontend_status{flag=\"signal\"} 1\n"
              "quorvex_frontend_status{flag=\"carrier\"} 1\n"
              "quorvex_frontend_status{flag=\"viterbi\"} 0\n"
              "quorvex_frontend_status{flag=\"sync\"} 0\n"
              "quorvex_frontend_status{flag=\"lock\"} 1\n"
              "quorvex_frontend_carrier_to_noise_decibels 24.5\n"
              "quorvex_frontend_layer_carrier_to_noise_decibels{layer=\"a\"} -1.25\n"
              "quorvex_frontend_layer_carrier_to_noise_decibels{layer=\"b\"} 26\n"
              "quorvex_frontend_post_bit_errors_total 105\n"
              "quorvex_frontend_layer_post_bit_errors_total{layer=\"a\"} 42\n"
              "quorvex_frontend_post_bit_count_total 1020000\n"
              "quorvex_frontend_layer_post_bit_count_total{layer=\"a\"} 306000\n");
}

struct AfterSamples {
    const char *what;
    std::vector<SampleRecord> records;
    std::vector<std::string> lines;  // on the page
    std::vector<std::string> absent; // no line starts so
};

TEST(MetricsPage, WhatARunOfSamplesLeavesOnThePage)
{
    const Report counted = Report(true)
                               .status(has_lock)
                               .cnr(part_whole, 20)
                               .count(count_blocks, part_whole, 100)
                               .count(count_blocks, part_layer_a, 30);
    const AfterSamples table[] = {
        {"nothing sampled yet: no tuner to name, nothing sampled",
         {},
         {"quorvex_sampled_bit_error_ratio_count 0\n"},
         {
             "quorvex_info",
             "quorvex_level_decibels",
             "quorvex_last_sample",
         }},
        {"a zero level value is no level",
         {record({reading_zero, -1.0, reading_value, 3.4e-2}, sample_no_level)},
         {"quorvex_bit_error_ratio 0.034\n", "quorvex_sampled_level_decibels_count{sign=\"positive\"} 0\n"},
         {"quorvex_level_decibels"}},
        {"the level and ratio go with the first sample without them, and carry no time of their own",
         {record(level_and_ratio, sample_ok), record(failed, sample_failed)},
         {"quorvex_sampled_level_decibels_sum{sign=\"positive\"} 24.5\n", "quorvex_sampled_bit_error_ratio_count 1\n"},
         {"quorvex_level_decibels", "quorvex_bit_error_ratio", "quorvex_frontend_"}},
        {"levels below 0 dB summed apart, by magnitude",
         {record({reading_value, 10.5, reading_failed, 0}, sample_ratio_failed),
          record({reading_value, -2.25, reading_failed, 0}, sample_ratio_failed),
          record({reading_value, 3, reading_failed, 0}, sample_ratio_failed)},
         {"quorvex_sampled_level_decibels_sum{sign=\"positive\"} 13.5\n",
          "quorvex_sampled_level_decibels_count{sign=\"positive\"} 2\n",
          "quorvex_sampled_level_decibels_sum{sign=\"negative\"} 2.25\n",
          "quorvex_sampled_level_decibels_count{sign=\"negative\"} 1\n", "quorvex_level_decibels 3\n"},
         {}},
        {"the figures go with a sample without a report; the counters stay as they were",
         {record(level_and_ratio, sample_ok, counted), record(failed, sample_failed)},
         {"quorvex_frontend_blocks_total 100\n", "quorvex_frontend_layer_blocks_total{layer=\"a\"} 30\n"},
         {"quorvex_frontend_status", "quorvex_frontend_carrier_to_noise_decibels"}},
        {"a layer given once stays at its sum while the driver gives the whole alone",
         {record(level_and_ratio, sample_ok, counted),
          record(level_and_ratio, sample_ok, Report().count(count_blocks, part_whole, 150))},
         {"quorvex_frontend_blocks_total 150\n", "quorvex_frontend_layer_blocks_total{layer=\"a\"} 30\n"},
         {}},
        {"a retune's mark counts the new count whole, however large",
         {record(level_and_ratio, sample_ok, counted),
          record(level_and_ratio, sample_ok, Report(true).count(count_blocks, part_whole, 150))},
         {"quorvex_frontend_blocks_total 250\n"},
         {}},
        {"a layer the mark found silent counts whole when it speaks again",
         {record(level_and_ratio, sample_ok, counted),
          record(level_and_ratio, sample_ok, Report(true).count(count_blocks, part_whole, 10)),
          record(level_and_ratio, sample_ok, Report().count(count_blocks, part_layer_a, 40))},
         {"quorvex_frontend_layer_blocks_total{layer=\"a\"} 70\n"},
         {}},
        {"a count that goes down without the mark is a driver's reset, counted whole",
         {record(level_and_ratio, sample_ok, counted),
          record(level_and_ratio, sample_ok, Report().count(count_blocks, part_whole, 40))},
         {"quorvex_frontend_blocks_total 140\n"},
         {}},
        {"each layer on its own: an unused layer A hides neither B nor C",
         {record(
             level_and_ratio, sample_ok,
             Report(true).cnr(part_layer_b, 21).cnr(part_layer_c, 19.5).count(count_error_blocks, part_layer_c, 3))},
         {"quorvex_frontend_layer_carrier_to_noise_decibels{layer=\"b\"} 21\n",
          "quorvex_frontend_layer_carrier_to_noise_decibels{layer=\"c\"} 19.5\n",
          "quorvex_frontend_layer_error_blocks_total{layer=\"c\"} 3\n"},
         {"quorvex_frontend_carrier_to_noise_decibels", "quorvex_frontend_layer_carrier_to_noise_decibels{layer=\"a\"}",
          "quorvex_frontend_error_blocks_total"}},
        {"each layer in use with what it carries, needs and its margin, to 0.001 dB; the unknown left out",
         {record(level_and_ratio, sample_ok,
                 Report()
                     .layer(0, {true, "QPSK", "2/3", 1, 4, {true, 6.6}, {true, 0.1 + 0.2}, verdict_marginal})
                     .layer(1, {true, "64QAM", "3/4", 12, 2, {true, 20.1}, {true, -1.25}, verdict_failing})
                     .layer(2, {true, nullptr, nullptr, 0, 0, {}, {}, verdict_none}))},
         {"quorvex_frontend_layer_info{layer=\"a\",modulation=\"QPSK\",code_rate=\"2/3\",segments=\"1\"} 1\n"
          "quorvex_frontend_layer_info{layer=\"b\",modulation=\"64QAM\",code_rate=\"3/4\",segments=\"12\"} 1\n"
          "quorvex_frontend_layer_info{layer=\"c\",modulation=\"\",code_rate=\"\",segments=\"0\"} 1\n"
          "quorvex_frontend_layer_required_carrier_to_noise_decibels{layer=\"a\"} 6.6\n"
          "quorvex_frontend_layer_required_carrier_to_noise_decibels{layer=\"b\"} 20.1\n"
          "quorvex_frontend_layer_margin_decibels{layer=\"a\"} 0.3\n"
          "quorvex_frontend_layer_margin_decibels{layer=\"b\"} -1.25\n"},
         {"quorvex_frontend_layer_required_carrier_to_noise_decibels{layer=\"c\"}",
          "quorvex_frontend_layer_margin_decibels{layer=\"c\"}"}},
        {"layers left unused: their C/N alone, where given",
         {record(level_and_ratio, sample_ok,
                 Report().cnr(part_layer_a, 21).layer(1, {false, "QPSK", "1/2", 0, 0, {true, 4.9}, {true, 1}, {}}))},
         {"quorvex_frontend_layer_carrier_to_noise_decibels{layer=\"a\"} 21\n"},
         {"quorvex_frontend_layer_info", "quorvex_frontend_layer_required", "quorvex_frontend_layer_margin"}},
    };
    for (const AfterSamples &row : table) {
        const std::string page = page_after(row.records);
        for (const std::string &line : row.lines)
            EXPECT_NE(page.find(line), std::string::npos) << row.what << ": no " << line << page;
        for (const std::string &start : row.absent)
            EXPECT_EQ(("\n" + page).find("\n" + start), std::string::npos) << row.what << ": " << start << "\n" << page;
    }
}

TEST(MetricsPage, TheTunerIsNamedAsItsLastSampleNamesIt)
{
    SampleRecord watched = record(failed, sample_failed);
    watched.tuner = {"frontend", "a \"quoted\\path\"\n", true, false};
    EXPECT_NE(
        page_after({watched}).find("driver=\"frontend\",device=\"a \\\"quoted\\\\path\\\"\\n\",mode=\"watches\"}"),
        std::string::npos);
}

} // namespace
