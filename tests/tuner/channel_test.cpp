// The channel plan and the tune request that carries it to the tuner.
#include "support/sim_fixture.h"

namespace {

struct PlanRow {
    int channel;
    int catv;
    int frequency_khz;
};

TEST(ChannelPlan, MapsChannelsToTheSixMegahertzRaster)
{
    const PlanRow rows[] = {
        {13, 0, 473000}, {62, 0, 767000}, {63, 0, 773000}, // terrestrial, 63 accepted here
        {13, 1, 111000}, {22, 1, 165000},                  // cable, low part
        {23, 1, 225000}, {63, 1, 465000},                  // cable, high part
        {40, 7, 327000},                                   // any non-zero band flag is cable
    };
    for (const PlanRow &row : rows)
        EXPECT_EQ(channel_frequency_khz(row.channel, row.catv), row.frequency_khz)
            << "channel " << row.channel << " catv " << row.catv;
}

class TuneChannelTest : public SimTest {};

TEST_F(TuneChannelTest, EachRowOfThePlanReachesTheTuner)
{
    bring_tuner_up();
    const PlanRow rows[] = {{62, 0, 767000}, {63, 0, 773000}, {22, 1, 165000}, {23, 1, 225000}};
    for (const PlanRow &row : rows) {
        EXPECT_EQ(tune_channel(row.channel, row.catv), 0);
        EXPECT_EQ(tuning::tuned_frequency_khz(), row.frequency_khz);
    }
    const std::vector<std::string> expected = {"473000", "767000", "773000", "165000", "225000"};
    EXPECT_EQ(tuning::args_of("put_TuneRequest"), expected);
}

TEST_F(TuneChannelTest, ChannelsOutsideThirteenToSixtyThreeAreRefusedWithoutATuneRequest)
{
    bring_tuner_up();
    const size_t calls_before = tuning::calls().size();
    for (int catv : {0, 1}) {
        EXPECT_EQ(tune_channel(12, catv), 1);
        EXPECT_EQ(tune_channel(64, catv), 1);
    }
    EXPECT_EQ(tuning::calls().size(), calls_before) << "nothing reaches the platform";
    EXPECT_EQ(tuning::tuned_frequency_khz(), 473000);
}

TEST_F(TuneChannelTest, OnlyTheCarrierFrequencyIsSetOnTheLocator)
{
    bring_tuner_up();
    EXPECT_EQ(tune_channel(27, 1), 0);
    EXPECT_EQ(tuning::args_of("put_CarrierFrequency"), (std::vector<std::string>{"473000", "249000"}));
    EXPECT_EQ(tuning::args_of("put_Locator").size(), 2u);
}

TEST_F(TuneChannelTest, WhatIsTunedChangesWhatTheTunerReports)
{
    bring_tuner_up(); // channel 13: a strong multiplex
    double strong = 0;
    capture([&] { strong = take_sample(); });
    ASSERT_EQ(tune_channel(14, 0), 0); // nothing broadcast there
    double empty = 0;
    capture([&] { empty = take_sample(); });
    EXPECT_GT(strong, 25.0);
    EXPECT_LT(empty, 1.0);
}

} // namespace
