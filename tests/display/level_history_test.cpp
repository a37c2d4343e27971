// The level history as the sampling tick keeps it.
#include <cmath>

#include "support/sim_fixture.h"

namespace {

class LevelHistoryTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        bring_tuner_up();
    }

    // The sample is the level 20 log10(5505024 / v): v = 5505024 / 10^(db / 20).
    static void next_level_value(std::uint32_t v)
    {
        tuning::answer(0x8B20, {(v >> 16) & 0xFF, 4, 0, 0});
        tuning::answer(0x8C20, {(v >> 8) & 0xFF, 4, 0, 0});
        tuning::answer(0x8D20, {v & 0xFF, 4, 0, 0});
    }
    static void tick() { capture(record_sample); }
};

TEST_F(LevelHistoryTest, StartsAllZero)
{
    level_history[3] = 12.5;
    reset_level_history();
    for (double level : level_history)
        EXPECT_EQ(level, 0.0);
}

TEST_F(LevelHistoryTest, EachTickShiftsTowardTheOldestAndStoresTheNewestLast)
{
    for (std::uint32_t v = 1; v <= 31; ++v) {
        next_level_value(0x540000 / v); // v-th sample: 20 log10(v) dB
        tick();
    }
    // After 31 ticks the first sample has left; entry i holds sample i + 2.
    for (int i = 0; i < level_history_size; ++i)
        EXPECT_NEAR(level_history[i], 20.0 * std::log10(0x540000 / (0x540000 / (i + 2.0))), 0.01) << "entry " << i;
}

TEST_F(LevelHistoryTest, AFailedSampleStoresZeroAndAZeroLevelStoresMinusOne)
{
    next_level_value(0x054000);
    tick();
    tuning::answer(0x8B20, {0, 4, static_cast<tuning::Result>(E_FAIL), 0});
    tick();
    next_level_value(0);
    tick();
    EXPECT_NEAR(level_history[27], 24.08, 0.01);
    EXPECT_EQ(level_history[28], 0.0);
    EXPECT_EQ(level_history[29], -1.0);
}

} // namespace
