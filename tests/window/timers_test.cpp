// Window timers on the virtual clock.
#include "window_test.h"

class TimerTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        hwnd = create_shown_window();
        qtwindow::pump_messages();
        log.clear();
    }

    // The ids of the WM_TIMERs that pumping now dispatches.
    std::vector<WPARAM> ticks()
    {
        log.clear();
        qtwindow::pump_messages();
        std::vector<WPARAM> ids;
        for (const Received &r : received(WM_TIMER))
            ids.push_back(r.wParam);
        return ids;
    }

    HWND hwnd = nullptr;
};

using Ids = std::vector<WPARAM>;

// Each period gives one WM_TIMER with the timer's id, through the message loop only.
TEST_F(TimerTest, EachPeriodDeliversOneWmTimer)
{
    EXPECT_NE(SetTimer(hwnd, 0x7FFF, 1000, nullptr), 0u);
    qtwindow::advance_ms(999);
    EXPECT_EQ(ticks(), Ids{});
    qtwindow::advance_ms(1);
    EXPECT_TRUE(received(WM_TIMER).empty()) << "advancing the clock dispatches nothing by itself";
    EXPECT_EQ(ticks(), Ids{0x7FFF});
    qtwindow::advance_ms(1000);
    EXPECT_EQ(ticks(), Ids{0x7FFF});
    EXPECT_EQ(received(WM_TIMER)[0].hwnd, hwnd);
}

// Setting a timer again with the same id replaces it: new period, counted from now.
TEST_F(TimerTest, SameIdReplacesTheRunningTimer)
{
    SetTimer(hwnd, 5, 1000, nullptr);
    qtwindow::advance_ms(600);
    EXPECT_NE(SetTimer(hwnd, 5, 2000, nullptr), 0u);
    EXPECT_EQ(qtwindow::timer_period(hwnd, 5), 2000u);
    qtwindow::advance_ms(1400);
    EXPECT_EQ(ticks(), Ids{}) << "the old period is gone";
    qtwindow::advance_ms(600);
    EXPECT_EQ(ticks(), Ids{5});
}

// Periods that pass while nobody takes messages make a single WM_TIMER, as on Windows.
TEST_F(TimerTest, MissedPeriodsCoalesce)
{
    SetTimer(hwnd, 1, 100, nullptr);
    qtwindow::advance_ms(550);
    EXPECT_EQ(ticks(), Ids{1});
    qtwindow::advance_ms(50);
    EXPECT_EQ(ticks(), Ids{1}) << "the period keeps its phase: due again at 600";
}

// Timers of one window run independently by id.
TEST_F(TimerTest, IdsAreIndependent)
{
    SetTimer(hwnd, 1, 100, nullptr);
    SetTimer(hwnd, 2, 300, nullptr);
    qtwindow::advance_ms(100);
    EXPECT_EQ(ticks(), Ids{1});
    qtwindow::advance_ms(200);
    EXPECT_EQ(ticks(), (Ids{1, 2}));
}

// KillTimer stops a timer, also one already due and not yet taken.
TEST_F(TimerTest, KillTimerStopsEvenADueTimer)
{
    SetTimer(hwnd, 3, 100, nullptr);
    qtwindow::advance_ms(100);
    EXPECT_TRUE(KillTimer(hwnd, 3));
    EXPECT_EQ(ticks(), Ids{});
    EXPECT_FALSE(qtwindow::timer_period(hwnd, 3));
    EXPECT_FALSE(KillTimer(hwnd, 3)) << "there is no such timer any more";
}

// The failure hook makes SetTimer return 0 and start nothing.
TEST_F(TimerTest, FailureHookMakesSetTimerFail)
{
    qtwindow::fail_timers(true);
    EXPECT_EQ(SetTimer(hwnd, 1, 100, nullptr), 0u);
    EXPECT_FALSE(qtwindow::timer_period(hwnd, 1));
    qtwindow::fail_timers(false);
    EXPECT_NE(SetTimer(hwnd, 1, 100, nullptr), 0u);
}

// A window's timers stop when it is destroyed; a timer needs a live window.
TEST_F(TimerTest, TimersDieWithTheirWindow)
{
    SetTimer(hwnd, 1, 100, nullptr);
    DestroyWindow(hwnd);
    EXPECT_FALSE(qtwindow::timer_period(hwnd, 1));
    EXPECT_EQ(SetTimer(hwnd, 1, 100, nullptr), 0u);
}
