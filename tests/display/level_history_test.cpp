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
        answer_level_value(0x540000 / v); // v-th sample: 20 log10(v) dB
        tick();
    }
    // After 31 ticks the first sample has left; entry i holds sample i + 2.
    for (int i = 0; i < level_history_size; ++i)
        EXPECT_NEAR(level_history[i], 20.0 * std::log10(0x540000 / (0x540000 / (i + 2.0))), 0.01) << "entry " << i;
}

} // namespace
