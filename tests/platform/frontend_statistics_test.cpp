// From a frontend's statistics to the figures the vendor property answers, against hand-computed
// tables: the level value from the carrier-to-noise ratio, the error and cycle counts from the
// bit-error counters' change, and what the program's own formulas then show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/tuning/frontend/statistics.h"
#include "support/fake_frontend.h"

namespace {

using tuning::CounterWindow;
using tuning::Figures;
using tuning::Statistics;

// The program's ratio, e / (n * 1632), as its console line prints it.
std::string shown_ratio(const Figures &figures)
{
    if (figures.cycle_count == 0)
        return "---------";
    char text[32];
    std::snprintf(text, sizeof text, "%9.2E", figures.error_count / (figures.cycle_count * 1632.0));
    return text;
}

std::string shown_ratio(double ratio)
{
    char text[32];
    std::snprintf(text, sizeof text, "%9.2E", ratio);
    return text;
}

Figures counted(std::uint64_t errors, std::uint64_t bits)
{
    Figures figures;
    tuning::count_errors(errors, bits, figures);
    return figures;
}

Statistics locked(dtv_fe_stats cnr)
{
    Statistics statistics;
    statistics.status = FE_HAS_SIGNAL | FE_HAS_CARRIER | FE_HAS_VITERBI | FE_HAS_SYNC | FE_HAS_LOCK;
    statistics.cnr = cnr;
    statistics.post_errors = counter(0);
    statistics.post_total = counter(0);
    return statistics;
}

TEST(FrontendStatistics, TheCarrierToNoiseRatioBecomesTheLevelValueThatShowsIt)
{
    // v = 5505024 / 10^(C/N / 20), worked out by hand.
    const struct {
        std::int64_t millidecibels;
        std::uint32_t v;
        double shown_db; // 20 log10(5505024 / v), as the program computes it
    } rows[] = {
        {24082, 344080, 24.082}, // 10^1.2041 = 15.99926
        {28000, 219159, 28.000},    {30000, 174084, 30.000}, {20000, 550502, 20.000},
        {12345, 1328952, 12.345},   {0, 5505024, 0.000},     {100000, 55, 100.008}, // 55.05 rounds down
        {-20000, 0xFFFFFF, -9.679},                                                 // 55050240 does not fit 24 bits
    };
    for (const auto &row : rows) {
        const std::uint32_t v = tuning::level_value_for(row.millidecibels);
        EXPECT_EQ(v, row.v) << row.millidecibels << " mdB";
        EXPECT_NEAR(20.0 * std::log10(5505024.0 / v), row.shown_db, 0.0005) << row.millidecibels << " mdB";
    }
}

TEST(FrontendStatistics, ImplausibleOrMissingCarrierToNoiseRatiosGiveAZeroLevelValue)
{
    CounterWindow window;
    EXPECT_EQ(tuning::figures_from(locked(decibels(-20000)), window).level_value, 0xFFFFFFu) << "the lowest plausible";
    EXPECT_EQ(tuning::figures_from(locked(decibels(100000)), window).level_value, 55u) << "the highest plausible";
    EXPECT_EQ(tuning::figures_from(locked(decibels(-20001)), window).level_value, 0u) << "below -20 dB";
    EXPECT_EQ(tuning::figures_from(locked(decibels(100001)), window).level_value, 0u) << "above 100 dB";
    EXPECT_EQ(tuning::figures_from(locked(not_offered()), window).level_value, 0u) << "no such statistic";
    dtv_fe_stats relative = counter(40000);
    relative.stat[0].scale = FE_SCALE_RELATIVE;
    EXPECT_EQ(tuning::figures_from(locked(relative), window).level_value, 0u) << "a percentage is no C/N";
}

TEST(FrontendStatistics, ErrorAndCycleCountsCarryTheCountersRatio)
{
    // e as large as 65535 cycles allow (floor of ratio x 65535 x 1632), then n = e / (ratio x 1632),
    // rounded: the ratio to within 1 / (2n).
    const struct {
        std::uint64_t errors, bits;
        std::uint32_t e, n;
        const char *shown;
    } rows[] = {
        {1234, 81600000, 1617, 65519, " 1.51E-05"},           // 1.5122549E-05
        {1, 100000000, 1, 61275, " 1.00E-08"},                // 1/(1632 x 1E-8) = 61274.5
        {17, 1000000000, 1, 36044, " 1.70E-08"},              // one error, fewer cycles
        {3, 100000000, 3, 61275, " 3.00E-08"},                //
        {1ULL << 40, 1ULL << 50, 104446, 65535, " 9.77E-04"}, // counters past 32 bits
        {1, 2, 0xFFFFFF, 20560, " 5.00E-01"},                 // e at its 24-bit top, n = 16777215 / 816
        {0, 5000000, 0, 65535, " 0.00E+00"},                  // no errors in a counted window
        {5, 1000000000, 1, 65535, " 9.35E-09"},               // the smallest ratio the property carries
        {4, 1000000000, 0, 65535, " 0.00E+00"},               // nearer zero than 9.35E-09
        {3, 2, 0xFFFFFF, 6853, " 1.50E+00"},                  // more errors than bits: a driver's junk
        {1000000000, 1, 0xFFFFFF, 1, " 1.03E+04"},            // the largest ratio there is
    };
    for (const auto &row : rows) {
        const Figures figures = counted(row.errors, row.bits);
        EXPECT_EQ(figures.error_count, row.e) << row.errors << " / " << row.bits;
        EXPECT_EQ(figures.cycle_count, row.n) << row.errors << " / " << row.bits;
        EXPECT_EQ(shown_ratio(figures), row.shown) << row.errors << " / " << row.bits;
    }
}

TEST(FrontendStatistics, TheLineShowsThreeTrueDigitsFromTheSmallestCarriedRatioToOne)
{
    // Every three-digit ratio d.dd x 10^k from 1.00E-08 to 1.00E+00, counted over a window of 10^12
    // bits (about a day at 12 Mbit/s): the line shows exactly those digits, and the figures stay
    // within the relative error the property's 16-bit cycle count allows.
    const std::uint64_t bits = 1000000000000ULL;
    int ratios = 0;
    for (int exponent = -8; exponent <= 0; ++exponent) {
        for (int digits = 100; digits <= 999 && (exponent < 0 || digits == 100); digits += 7) {
            const double ratio = digits / 100.0 * std::pow(10.0, exponent);
            const auto errors = static_cast<std::uint64_t>(std::llround(ratio * static_cast<double>(bits)));
            const Figures figures = counted(errors, bits);
            const double carried = figures.error_count / (figures.cycle_count * 1632.0);
            EXPECT_EQ(shown_ratio(figures), shown_ratio(ratio)) << errors << " / " << bits;
            EXPECT_LE(std::abs(carried / ratio - 1.0), 0.5 / figures.cycle_count) << errors << " / " << bits;
            EXPECT_LE(std::abs(carried / ratio - 1.0), 5e-5) << errors << " / " << bits;
            ++ratios;
        }
    }
    EXPECT_EQ(ratios, 8 * 129 + 1);
}

TEST(FrontendStatistics, CountersThatWentDownStartANewWindowWithNothingCountedYet)
{
    CounterWindow window;
    Statistics sample = locked(decibels(28000));
    sample.post_errors = counter(500);
    sample.post_total = counter(10000000);
    tuning::figures_from(sample, window);

    sample.post_errors = counter(20); // the driver restarted its counters
    sample.post_total = counter(400000);
    const Figures restarted = tuning::figures_from(sample, window);
    EXPECT_EQ(restarted.cycle_count, 0u) << "the dashed form";
    EXPECT_TRUE(restarted.error_counts);

    sample.post_errors = counter(30);
    sample.post_total = counter(400000 + 1000000);
    EXPECT_EQ(shown_ratio(tuning::figures_from(sample, window)), " 1.00E-05") << "10 errors in the new window";

    sample.post_errors = counter(30);
    sample.post_total = counter(300); // only the total went down
    EXPECT_EQ(tuning::figures_from(sample, window).cycle_count, 0u);

    sample.post_errors = counter(10); // only the error count went down
    sample.post_total = counter(3000);
    EXPECT_EQ(tuning::figures_from(sample, window).cycle_count, 0u);
}

TEST(FrontendStatistics, ThePostPairWinsAndSwitchingPairsStartsANewWindow)
{
    CounterWindow window;
    Statistics sample = locked(decibels(28000));
    sample.pre_errors = counter(3000);
    sample.pre_total = counter(1000000);
    sample.post_errors = counter(1);
    sample.post_total = counter(1000000);
    EXPECT_EQ(shown_ratio(tuning::figures_from(sample, window)), " 1.00E-06");

    sample.post_errors = not_available(); // e.g. while the inner code has no lock
    sample.pre_errors = counter(6000);
    sample.pre_total = counter(2000000);
    EXPECT_EQ(tuning::figures_from(sample, window).cycle_count, 0u) << "another pair: nothing counted yet";
    sample.pre_errors = counter(6100);
    sample.pre_total = counter(3000000);
    EXPECT_EQ(shown_ratio(tuning::figures_from(sample, window)), " 1.00E-04");
}

TEST(FrontendStatistics, HalfAPostPairLeavesThePrePairToCount)
{
    const struct {
        dtv_fe_stats errors, total;
        const char *what;
    } rows[] = {
        {counter(5), not_available(), "a post error count without its total"},
        {not_available(), counter(5), "a post total without its error count"},
    };
    for (const auto &row : rows) {
        CounterWindow window;
        Statistics sample = locked(decibels(28000));
        sample.post_errors = row.errors;
        sample.post_total = row.total;
        sample.pre_errors = counter(3000);
        sample.pre_total = counter(1000000);
        EXPECT_EQ(shown_ratio(tuning::figures_from(sample, window)), " 3.00E-03") << row.what << ": 3000 / 1000000";
    }
}

TEST(FrontendStatistics, CountersTheDriverDoesNotOfferMakeTheErrorReadsFail)
{
    const struct {
        dtv_fe_stats errors, total;
        const char *what;
    } rows[] = {
        {not_offered(), not_offered(), "neither pair offered"},
        {not_available(), not_available(), "no figures now"},
        {counter(5), not_available(), "an error count without its total"},
        {not_available(), counter(5), "a total without its error count"},
        {decibels(5), counter(5), "an error count in another scale"},
    };
    for (const auto &row : rows) {
        CounterWindow window;
        Statistics sample = locked(decibels(28000));
        sample.post_errors = row.errors;
        sample.post_total = row.total;
        const Figures figures = tuning::figures_from(sample, window);
        EXPECT_FALSE(figures.error_counts) << row.what;
        EXPECT_EQ(figures.level_value, 219159u) << row.what << ": the level still reads";
    }
}

} // namespace
