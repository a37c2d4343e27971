// The program from start to end: start-up, sampling on the timer, and the ways it closes.
#include "display/display_fixture.h"

namespace {

class ShellTest : public DisplayTest {};

TEST_F(ShellTest, ANormalCloseEndsWithExitCodeZeroAfterOneLinePerTick)
{
    int ticks = 0;
    const int exit_code = run_program([&] {
        HWND window = qtwindow::top_level_windows().front();
        if (++ticks <= 3)
            qtwindow::advance_ms(1000);
        else
            qtwindow::press_close_box(window);
    });
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 3) << output;
    EXPECT_TRUE(qtwindow::message_boxes().empty());
    EXPECT_EQ(tuning::apartment_initialisations(), 0);
}

TEST_F(ShellTest, StartingWithoutTheTunerReportsTheMissingFilterAndEndsWithOne)
{
    tuning::apply_scenario("no-tuner");
    int exit_code = -1;
    const std::string err = stderr_of([&] { exit_code = run_program({}); });
    EXPECT_EQ(exit_code, 1);
    EXPECT_EQ(err, "find_dev: CreateClassEnumerator\ncreate_filters: pBDATuner\n");
    ASSERT_EQ(qtwindow::message_boxes().size(), 1u);
    EXPECT_EQ(qtwindow::message_boxes()[0].caption, L"失敗");
    EXPECT_EQ(qtwindow::message_boxes()[0].text, L"初期化失敗！終了します");
    EXPECT_EQ(qtwindow::message_boxes()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(output, "");
}

TEST_F(ShellTest, ATimerThatCannotStartReportsAndClosesWithOne)
{
    qtwindow::fail_timers(true);
    EXPECT_EQ(run_program({}), 1);
    ASSERT_EQ(qtwindow::message_boxes().size(), 1u);
    EXPECT_EQ(qtwindow::message_boxes()[0].text, L"タイマー作成エラー！終了します");
    EXPECT_EQ(tuning::apartment_initialisations(), 0) << "the close path released the tuner";
}

TEST_F(ShellTest, AWindowThatCannotBeCreatedEndsWithOneAndShowsNothing)
{
    qtwindow::fail_window_creation(true);
    EXPECT_EQ(run_program({}), 1);
    EXPECT_TRUE(qtwindow::message_boxes().empty());
}

TEST_F(ShellTest, ClosingWhileATickIsDueStopsTheTimerBeforeReleasingTheTuner)
{
    start();
    qtwindow::advance_ms(1000); // the tick is due, not yet handled
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    const size_t calls_after_close = tuning::calls().size();
    EXPECT_EQ(stdout_of([] { qtwindow::pump_messages(); }), "");
    EXPECT_EQ(tuning::calls().size(), calls_after_close) << "no sample after the close";
    EXPECT_FALSE(window_alive());
    EXPECT_EQ(qtwindow::pending_quit(), 0);
}

TEST_F(ShellTest, ThirtyOneTicksScrollTheFirstSampleOut)
{
    start();
    std::vector<double> samples;
    std::string lines;
    for (int tick = 0; tick < 31; ++tick) {
        lines += wait_ms(1000);
        samples.push_back(level_history[level_history_size - 1]);
    }
    for (int i = 0; i < level_history_size; ++i)
        EXPECT_EQ(level_history[i], samples[i + 1]) << "entry " << i;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 31);
}

TEST_F(ShellTest, OtherNotificationsGoToTheDefaultProcedure)
{
    start();
    pending_settings.interval_s = 7;
    HWND apply = apply_button;
    const WPARAM edit_change = MAKEWPARAM(0, 0x300);
    EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, edit_change, reinterpret_cast<LPARAM>(apply)), 0);
    EXPECT_EQ(applied_settings.interval_s, 1) << "not taken for a click";
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(apply));
    EXPECT_EQ(applied_settings.interval_s, 7);
}

} // namespace
