#include "support/sim_fixture.h"

Captured capture(const std::function<void()> &action)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    action();
    Captured captured;
    captured.out = testing::internal::GetCapturedStdout();
    captured.err = testing::internal::GetCapturedStderr();
    return captured;
}

std::string live_report()
{
    std::string report;
    for (const tuning::LiveObject &object : tuning::live_objects())
        report += object.kind + " x" + std::to_string(object.references) + "\n";
    return report;
}

template <std::size_t Bytes> static void answer_bytes(const std::uint32_t (&selectors)[Bytes], std::uint32_t value)
{
    for (std::size_t i = 0; i < Bytes; ++i)
        tuning::answer(selectors[i], {0xA5C3E100u | ((value >> (8 * (Bytes - 1 - i))) & 0xFF), 4, 0, 0});
}

void answer_level_value(std::uint32_t v) { answer_bytes(tuner_level::level_selectors, v); }
void answer_error_count(std::uint32_t e) { answer_bytes(tuner_level::error_count_selectors, e); }
void answer_cycle_count(std::uint32_t n) { answer_bytes(tuner_level::cycle_count_selectors, n); }

void SimTest::SetUp()
{
    tuning::reset();
    pending_settings = {1, 13, 0};
    applied_settings = {1, 13, 0};
    reception = {false, 0};
    reset_level_history();
}

void SimTest::TearDown()
{
    release_tuner();
    EXPECT_EQ(live_report(), "");
    EXPECT_EQ(tuning::over_releases(), 0);
    EXPECT_EQ(tuning::apartment_initialisations(), 0);
    EXPECT_EQ(tuning::calls_outside_apartment(), 0) << "no object may be used once COM is uninitialised";
}

void SimTest::bring_tuner_up()
{
    int up = 0;
    const Captured captured = capture([&] { up = init_tuner(); });
    ASSERT_EQ(up, 1) << captured.err;
    ASSERT_EQ(captured.err, "");
}

void ComApartmentTest::SetUp()
{
    SimTest::SetUp();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
}

void ComApartmentTest::TearDown()
{
    CoUninitialize();
    SimTest::TearDown();
}
