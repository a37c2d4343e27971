// Window creation and destruction, sent messages, the message loop and the close box.
#include <chrono>
#include <ctime>

#include "window_test.h"

using WindowLifeTest = WindowTest;
using MessageLoopTest = WindowTest;

// WM_CREATE reaches the procedure before CreateWindowExW returns, with the creation arguments.
TEST_F(WindowLifeTest, CreateDeliversWmCreateBeforeReturning)
{
    CREATESTRUCTW seen = {};
    handle(WM_CREATE, [&](HWND, WPARAM, LPARAM lParam) {
        seen = *reinterpret_cast<const CREATESTRUCTW *>(lParam);
        return LRESULT{0};
    });
    HWND hwnd = create_window(WS_CAPTION | WS_SYSMENU, 30, 40, 340, 200);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(received(WM_CREATE).size(), 1u);
    EXPECT_EQ(received(WM_CREATE)[0].hwnd, hwnd);
    EXPECT_EQ(log.front().message, static_cast<UINT>(WM_CREATE)) << "nothing comes before WM_CREATE";
    EXPECT_EQ(seen.x, 30);
    EXPECT_EQ(seen.y, 40);
    EXPECT_EQ(seen.cx, 340);
    EXPECT_EQ(seen.cy, 200);
    EXPECT_STREQ(seen.lpszName, L"Test window");
}

// A procedure answering -1 to WM_CREATE refuses the window: it is destroyed and creation fails.
TEST_F(WindowLifeTest, CreateRefusedByWmCreateGivesNull)
{
    handle(WM_CREATE, [](HWND, WPARAM, LPARAM) { return LRESULT{-1}; });
    EXPECT_EQ(create_window(), nullptr);
    EXPECT_EQ(received(WM_DESTROY).size(), 1u);
    EXPECT_TRUE(qtwindow::top_level_windows().empty());
}

// Unregistered classes, and creation while the failure hook is on, give null and no WM_CREATE.
TEST_F(WindowLifeTest, CreateFailsForUnknownClassOrWhenMadeToFail)
{
    EXPECT_EQ(CreateWindowExW(0, L"NO_SUCH_CLASS", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    qtwindow::fail_window_creation(true);
    EXPECT_EQ(create_window(), nullptr);
    EXPECT_TRUE(received(WM_CREATE).empty());
    qtwindow::fail_window_creation(false);
    EXPECT_NE(create_window(), nullptr);
}

// SendMessageW runs the procedure at once and gives back its result.
TEST_F(WindowLifeTest, SendMessageIsSynchronous)
{
    HWND hwnd = create_window();
    handle(WM_COMMAND, [](HWND, WPARAM wParam, LPARAM) { return static_cast<LRESULT>(wParam * 2); });
    EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, 21, 0), 42);
    ASSERT_EQ(received(WM_COMMAND).size(), 1u);
    EXPECT_EQ(qtwindow::pump_messages(), 0) << "nothing was queued";
}

// DestroyWindow delivers WM_DESTROY while the handle still works, then the handle is dead.
TEST_F(WindowLifeTest, DestroyDeliversWmDestroyThenHandleIsDead)
{
    HWND hwnd = create_window();
    LRESULT during = 0;
    handle(WM_DESTROY, [&](HWND h, WPARAM, LPARAM) {
        during = SendMessageW(h, WM_COMMAND, 0, 0);
        return LRESULT{0};
    });
    handle(WM_COMMAND, [](HWND, WPARAM, LPARAM) { return LRESULT{7}; });
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(received(WM_DESTROY).size(), 1u);
    EXPECT_EQ(during, 7);
    EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, 0, 0), 0);
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(qtwindow::widget_of(hwnd), nullptr);
}

// The close box asks the procedure with WM_CLOSE; the window stays unless it destroys itself.
TEST_F(WindowLifeTest, CloseBoxSendsWmCloseAndNeverClosesByItself)
{
    HWND hwnd = create_shown_window();
    handle(WM_CLOSE, [](HWND, WPARAM, LPARAM) { return LRESULT{0}; });
    qtwindow::press_close_box(hwnd);
    EXPECT_EQ(received(WM_CLOSE).size(), 1u);
    EXPECT_TRUE(qtwindow::widget_of(hwnd)->isVisible());

    handle(WM_CLOSE, [](HWND h, WPARAM, LPARAM) { return static_cast<LRESULT>(DestroyWindow(h)); });
    qtwindow::press_close_box(hwnd);
    EXPECT_EQ(received(WM_DESTROY).size(), 1u);
    EXPECT_EQ(qtwindow::widget_of(hwnd), nullptr);
}

// DefWindowProcW answers WM_CLOSE by destroying the window, as on Windows.
TEST_F(WindowLifeTest, DefaultProcedureDestroysOnClose)
{
    HWND hwnd = create_window();
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(received(WM_DESTROY).size(), 1u);
    EXPECT_EQ(qtwindow::widget_of(hwnd), nullptr);
}

// PostQuitMessage ends the loop: GetMessageW returns 0 with the exit code in wParam.
TEST_F(MessageLoopTest, QuitMakesGetMessageReturnZeroWithExitCode)
{
    PostQuitMessage(3);
    EXPECT_EQ(qtwindow::pending_quit(), 3);
    MSG msg = {};
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(qtwindow::pending_quit());
}

// The quit request comes before repaints and timers, and pumping leaves it for GetMessageW.
TEST_F(MessageLoopTest, QuitComesBeforeRepaintsAndTimers)
{
    HWND hwnd = create_shown_window();
    SetTimer(hwnd, 1, 100, nullptr);
    qtwindow::advance_ms(100);
    InvalidateRect(hwnd, nullptr, FALSE);
    PostQuitMessage(0);
    EXPECT_EQ(qtwindow::pump_messages(), 0);
    MSG msg = {};
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
}

// A loop of GetMessageW and DispatchMessageW runs the program's way: the idle hook stands in for
// time and the user, and the window's own WM_DESTROY ends the loop.
TEST_F(MessageLoopTest, LoopRunsUntilWindowPostsQuit)
{
    HWND hwnd = create_shown_window();
    SetTimer(hwnd, 9, 1000, nullptr);
    handle(WM_DESTROY, [](HWND, WPARAM, LPARAM) {
        PostQuitMessage(5);
        return LRESULT{0};
    });
    int idle_calls = 0;
    qtwindow::on_idle([&] {
        if (++idle_calls <= 3)
            qtwindow::advance_ms(1000);
        else
            qtwindow::press_close_box(hwnd);
    });
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_EQ(received(WM_TIMER).size(), 3u);
    EXPECT_EQ(received(WM_CLOSE).size(), 1u);
}

// With nothing due GetMessageW sleeps in Qt's event loop: a short real timer wakes it, and the
// wait costs next to no CPU.
TEST_F(MessageLoopTest, GetMessageWaitsWithoutSpinning)
{
    qtwindow::use_virtual_clock(false);
    HWND hwnd = create_shown_window();
    qtwindow::pump_messages();
    SetTimer(hwnd, 1, 150, nullptr);
    const auto wall_start = std::chrono::steady_clock::now();
    const std::clock_t cpu_start = std::clock();
    MSG msg = {};
    ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    const auto wall_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - wall_start).count();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_GE(wall_ms, 100);
    EXPECT_LT(cpu_ms, 50.0) << "after " << wall_ms << " ms of waiting";
}
