// The page a scrape reads: each figure under its name, absent while the last sample has none,
// ISDB-T's layers labelled, and the frontend's counters rising across the driver's restarts.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/linux/metrics_page.h"
#include "support/fake_frontend.h"

namespace {

using linux_platform::MetricsSnapshot;

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

dtv_stats db(std::int64_t millidecibels)
{
    dtv_stats value{};
    value.scale = FE_SCALE_DECIBEL;
    value.svalue = millidecibels;
    return value;
}

dtv_stats count(std::uint64_t counted)
{
    dtv_stats value{};
    value.scale = FE_SCALE_COUNTER;
    value.uvalue = counted;
    return value;
}

dtv_fe_stats layered(std::initializer_list<dtv_stats> values)
{
    dtv_fe_stats statistic{};
    for (const dtv_stats &value : values)
        statistic.stat[statistic.len++] = value;
    return statistic;
}

TEST(MetricsPage, EachFigureOfTheLastSampleUnderItsName)
{
    MetricsSnapshot snapshot;
    snapshot.version = "1.0.0.1";
    snapshot.driver = "frontend";
    snapshot.device = "/dev/dvb/adapter0/frontend0";
    snapshot.mode = "tunes";
    snapshot.sampled = true;
    // 2026-12-07 13:16:05 UTC, cable 27; 0.5 dB off and 3.2E-04 in error.
    snapshot.last = {1796649365, 27, 1, 249000, {reading_value, 24.5, reading_value, 3.2e-4}, sample_ok, false, {}};
    snapshot.samples[sample_ok] = 7;
    snapshot.samples[sample_failed] = 2;
    tuning::Statistics statistics;
    statistics.status = FE_HAS_SIGNAL | FE_HAS_CARRIER | FE_HAS_LOCK;
    statistics.cnr = layered({db(24500), db(-1250), db(26000), dtv_stats{}}); // layer C not available
    statistics.strength = not_available();
    statistics.post_errors = layered({count(100), count(40)});
    statistics.post_total = layered({count(1000000), count(300000)});
    statistics.error_blocks = not_offered();
    snapshot.frontend = statistics;
    linux_platform::count_frontend(statistics, snapshot.counters);
    // The driver restarts its counters (a retune): the sums go on from what it counts since.
    statistics.post_errors = layered({count(5), count(2)});
    statistics.post_total = layered({count(20000), count(6000)});
    linux_platform::count_frontend(statistics, snapshot.counters);

    EXPECT_EQ(samples_of(linux_platform::metrics_page(snapshot)),
              "quorvex_info{version=\"1.0.0.1\",driver=\"frontend\",device=\"/dev/dvb/adapter0/frontend0\","
              "mode=\"tunes\"} 1\n"
              "quorvex_samples_total{state=\"ok\"} 7\n"
              "quorvex_samples_total{state=\"no-level\"} 0\n"
              "quorvex_samples_total{state=\"no-ratio\"} 0\n"
              "quorvex_samples_total{state=\"ratio-failed\"} 0\n"
              "quorvex_samples_total{state=\"failed\"} 2\n"
              "quorvex_last_sample_timestamp_seconds 1796649365\n"
              "quorvex_level_decibels 24.5 1796649365000\n"
              "quorvex_bit_error_ratio 0.00032 1796649365000\n"
              "quorvex_tuned_frequency_hertz 249000000\n"
              "quorvex_channel{band=\"CATV\"} 27\n"
              "quorvex_frontend_status{flag=\"signal\"} 1\n"
              "quorvex_frontend_status{flag=\"carrier\"} 1\n"
              "quorvex_frontend_status{flag=\"viterbi\"} 0\n"
              "quorvex_frontend_status{flag=\"sync\"} 0\n"
              "quorvex_frontend_status{flag=\"lock\"} 1\n"
              "quorvex_frontend_carrier_to_noise_decibels 24.5\n"
              "quorvex_frontend_carrier_to_noise_decibels{layer=\"a\"} -1.25\n"
              "quorvex_frontend_carrier_to_noise_decibels{layer=\"b\"} 26\n"
              "quorvex_frontend_post_error_bits_total 105\n"
              "quorvex_frontend_post_error_bits_total{layer=\"a\"} 42\n"
              "quorvex_frontend_post_bits_total 1020000\n"
              "quorvex_frontend_post_bits_total{layer=\"a\"} 306000\n");
}

TEST(MetricsPage, WhatTheLastSampleLacksIsAbsentNotZero)
{
    MetricsSnapshot snapshot;
    snapshot.device = "a \"quoted\\path\"\n";
    EXPECT_EQ(linux_platform::metrics_page(snapshot).find("quorvex_level_decibels"), std::string::npos)
        << "nothing sampled yet";
    EXPECT_NE(linux_platform::metrics_page(snapshot).find("device=\"a \\\"quoted\\\\path\\\"\\n\""), std::string::npos);

    snapshot.sampled = true;
    snapshot.last = {1796649365,      13,    0, 473000, {reading_zero, -1.0, reading_value, 3.4e-2},
                     sample_no_level, false, {}};
    std::string page = samples_of(linux_platform::metrics_page(snapshot));
    EXPECT_EQ(page.find("quorvex_level_decibels"), std::string::npos) << "a zero level value is no level";
    EXPECT_NE(page.find("quorvex_bit_error_ratio 0.034 1796649365000\n"), std::string::npos);

    snapshot.last.sample = {reading_failed, 0.0, reading_failed, 0.0};
    page = samples_of(linux_platform::metrics_page(snapshot));
    EXPECT_EQ(page.find("quorvex_level_decibels"), std::string::npos);
    EXPECT_EQ(page.find("quorvex_bit_error_ratio"), std::string::npos);
    EXPECT_EQ(page.find("quorvex_frontend_"), std::string::npos) << "no frontend figures on the simulated tuner";
}

} // namespace
