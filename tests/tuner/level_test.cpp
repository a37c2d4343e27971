// Level and error figures from the vendor property: the arithmetic, the order of the readings and
// where a failure stops them. Each kind of sample as the console line, the history and the log
// show it is in tests/display/sample_log_test.cpp.
#include "support/sim_fixture.h"

namespace {

class LevelTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        bring_tuner_up();
    }

    // The property's Set and Get calls since the given point of the call log, as "Set 0x8B20".
    static std::vector<std::string> exchanges_since(size_t first_call)
    {
        std::vector<std::string> exchanges;
        for (size_t i = first_call; i < tuning::calls().size(); ++i)
            if (tuning::calls()[i].op == "Set" || tuning::calls()[i].op == "Get")
                exchanges.push_back(tuning::calls()[i].op + " " + tuning::calls()[i].arg);
        return exchanges;
    }

    struct Sample {
        double level;
        Captured output;
    };
    static Sample sample()
    {
        Sample s{};
        s.output = capture([&] { s.level = take_sample(); });
        return s;
    }
};

struct LevelRow {
    std::uint32_t v;
    double db;
    const char *line_start;
};

TEST_F(LevelTest, LevelIsTwentyLogOfTheReferenceOverTheValueCappedAt99)
{
    answer_error_count(0);
    answer_cycle_count(1);
    const LevelRow rows[] = {
        {0x054000, 24.0823996531, " 24.1 |"}, // 5505024 / 344064 = 16
        {0x540000, 0.0, "  0.0 |"},           // the reference itself
        {0x000001, 99.0, " 99.0 |"},          // 134.8 dB, capped
        {0xFFFFFF, -9.6792131, " -9.7 |"},    // the lowest level, negative but not a sentinel
        {0x000000, -1.0, " -- |"},            // zero value
    };
    for (const LevelRow &row : rows) {
        answer_level_value(row.v);
        const Sample s = sample();
        EXPECT_NEAR(s.level, row.db, 1e-4) << "v = " << row.v;
        EXPECT_EQ(s.output.out.substr(0, std::string(row.line_start).size()), row.line_start);
        EXPECT_EQ(s.output.err, "");
    }
}

TEST_F(LevelTest, ASampleReadsTheLevelThenTheErrorsThenTheCyclesEachASetThenAGet)
{
    const size_t calls_before = tuning::calls().size();
    sample();
    std::vector<std::string> expected;
    for (const char *selector : {"0x8B20", "0x8C20", "0x8D20", "0xA020", "0xA120", "0xA220", "0xA620", "0xA720"}) {
        expected.push_back(std::string("Set ") + selector);
        expected.push_back(std::string("Get ") + selector);
    }
    EXPECT_EQ(exchanges_since(calls_before), expected);
}

TEST_F(LevelTest, AFailedErrorCountReadingStopsTheReadings)
{
    tuning::answer(0xA120, {0, 4, 0, static_cast<tuning::Result>(E_FAIL)});
    const size_t calls_before = tuning::calls().size();
    EXPECT_EQ(sample().output.out.substr(5), " | -2.00E+00\n");
    const std::vector<std::string> exchanges = exchanges_since(calls_before);
    ASSERT_FALSE(exchanges.empty());
    EXPECT_EQ(exchanges.back(), "Get 0xA120") << "neither the third error byte nor the cycles are read";
    EXPECT_EQ(exchanges.size(), 10u);
}

TEST_F(LevelTest, AFailedLevelReadingWritesNoLineAndStopsReading)
{
    answer_level_value(0x054000);
    tuning::answer(0x8C20, {0, 4, static_cast<tuning::Result>(0x8007001F), 0}); // the second read's Set fails
    const size_t calls_before = tuning::calls().size();
    const Sample s = sample();
    EXPECT_EQ(s.level, 0.0);
    EXPECT_EQ(s.output.out, "");
    EXPECT_EQ(s.output.err, "get_level: IKsPropertySet.Set hr=8007001F\n");
    std::vector<std::string> selectors;
    for (size_t i = calls_before; i < tuning::calls().size(); ++i)
        if (tuning::calls()[i].op == "Set")
            selectors.push_back(tuning::calls()[i].arg);
    EXPECT_EQ(selectors, (std::vector<std::string>{"0x8B20", "0x8C20"})) << "no further reading after a failure";
}

TEST_F(LevelTest, AShortAnswerIsAFailedReading)
{
    answer_level_value(0x054000);
    tuning::answer(0x8D20, {0x20, 2, 0, 0});
    EXPECT_EQ(get_level(0x8D20), -2);
    const Sample s = sample();
    EXPECT_EQ(s.level, 0.0);
    EXPECT_EQ(s.output.out, "");
    EXPECT_EQ(s.output.err, "");
}

TEST_F(LevelTest, OnlyTheLowestByteOfTheAnswerCounts)
{
    tuning::answer(0x8B20, {0xFFFFFF7Eu, 4, 0, 0});
    EXPECT_EQ(get_level(0x8B20), 0x7E);
    tuning::answer(0x8B20, {0x12345600u, 4, 0, 0});
    EXPECT_EQ(get_level(0x8B20), 0);
}

TEST_F(LevelTest, WithoutATunerFilterNothingIsReadOrWritten)
{
    IBaseFilter *tuner = pBDATuner;
    pBDATuner = nullptr;
    const size_t calls_before = tuning::calls().size();
    const Sample s = sample();
    pBDATuner = tuner;
    EXPECT_EQ(s.level, 0.0);
    EXPECT_EQ(s.output.out, "");
    EXPECT_EQ(s.output.err, "");
    EXPECT_EQ(tuning::calls().size(), calls_before);
}

TEST_F(LevelTest, ATunerWithoutThePropertyInterfaceIsReported)
{
    tuning::fail("QueryInterface IID_IKsPropertySet", E_NOINTERFACE);
    const Sample s = sample();
    EXPECT_EQ(s.level, 0.0);
    EXPECT_EQ(s.output.err, "get_level: QueryInterface\n");
}

TEST_F(LevelTest, TheSimulatedSignalGivesARealisticLine)
{
    const Sample s = sample(); // channel 13: a strong multiplex
    EXPECT_GT(s.level, 25.0);
    EXPECT_LT(s.level, 35.0);
    ASSERT_EQ(s.output.out.size(), std::string(" 30.0 |  1.00E-06\n").size()) << s.output.out;
    EXPECT_EQ(s.output.out.substr(5, 2), " |");
}

} // namespace
