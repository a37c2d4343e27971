#include "display/display_fixture.h"

#include <QImage>
#include <functional>

const HINSTANCE DisplayTest::instance = reinterpret_cast<HINSTANCE>(0x400000);

void DisplayTest::SetUp()
{
    SimTest::SetUp();
    alignment_on = false;
    qtwindow::reset();
    qtwindow::use_virtual_clock(true);
    qtwindow::intercept_message_boxes();
}

void DisplayTest::TearDown()
{
    // A window left open goes through its own close path, so the tuner is released as it is.
    if (window_alive())
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
    qtwindow::reset();
    SimTest::TearDown();
}

void DisplayTest::start()
{
    hwnd = create_main_window(instance, SW_SHOWNORMAL);
    ASSERT_NE(hwnd, nullptr);
    const std::vector<HWND> controls = qtwindow::children_of(hwnd);
    ASSERT_EQ(controls.size(), 4u);
    interval_edit = controls[0];
    channel_edit = controls[1];
    catv_check = controls[2];
    apply_button = controls[3];
    qtwindow::pump_messages();
}

int DisplayTest::run_program(std::function<void()> idle, std::wstring command_line)
{
    qtwindow::on_idle(std::move(idle));
    int exit_code = -1;
    output = stdout_of([&] { exit_code = wWinMain(instance, nullptr, command_line.data(), SW_SHOWNORMAL); });
    qtwindow::on_idle({});
    const std::vector<HWND> windows = qtwindow::top_level_windows();
    hwnd = windows.empty() ? nullptr : windows.front();
    return exit_code;
}

std::string DisplayTest::wait_ms(unsigned ms)
{
    return stdout_of([ms] {
        qtwindow::advance_ms(ms);
        qtwindow::pump_messages();
    });
}

void DisplayTest::type_and_leave(HWND edit, const std::wstring &text)
{
    qtwindow::type_text(edit, text);
    qtwindow::click(edit == interval_edit ? channel_edit : interval_edit);
    qtwindow::pump_messages();
}

std::wstring DisplayTest::text_of(HWND edit) const
{
    WCHAR text[64] = {};
    SendMessageW(edit, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    return text;
}

QColor DisplayTest::pixel(int x, int y) const { return qtwindow::client_image(hwnd).pixelColor(x, y); }

bool DisplayTest::window_alive() const
{
    for (HWND window : qtwindow::top_level_windows())
        if (window == hwnd)
            return true;
    return false;
}

std::string DisplayTest::stdout_of(const std::function<void()> &action)
{
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

std::string DisplayTest::stderr_of(const std::function<void()> &action)
{
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

// What the window services draw for these GDI calls alone, in a window of its own with the label
// font: the expected text, from the same platform the chart draws on.
QImage drawn_alone(const std::function<void(HDC)> &draw)
{
    static std::function<void(HDC)> drawing;
    drawing = draw;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
        if (message != WM_PAINT)
            return DefWindowProcW(hwnd, message, wparam, lparam);
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        SetBkMode(hdc, TRANSPARENT);
        HFONT font = CreateFontW(12, 0, 0, 0, 400, FALSE, FALSE, FALSE, 128, 0, 0, 2, 0x31, L"MS UI Gothic");
        HGDIOBJ previous = SelectObject(hdc, font);
        drawing(hdc);
        SelectObject(hdc, previous);
        DeleteObject(font);
        EndPaint(hwnd, &ps);
        return 0;
    };
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    wc.lpszClassName = L"REFERENCE";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, L"REFERENCE", L"", WS_CAPTION | WS_SYSMENU, 0, 0, 340, 200, nullptr, nullptr,
                                nullptr, nullptr);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    const QImage image = qtwindow::client_image(hwnd);
    DestroyWindow(hwnd);
    return image;
}
