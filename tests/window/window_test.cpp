#include "window_test.h"

void PrintTo(const QColor &colour, std::ostream *os)
{
    *os << "RGB(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ")";
}

WindowTest *WindowTest::current = nullptr;

static const wchar_t *const test_class = L"QTWINDOW_TEST";

void WindowTest::SetUp()
{
    qtwindow::reset();
    qtwindow::use_virtual_clock(true);
    qtwindow::intercept_message_boxes();
    current = this;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = test_procedure;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    wc.lpszClassName = test_class;
    ASSERT_NE(RegisterClassExW(&wc), 0);
}

void WindowTest::TearDown()
{
    qtwindow::reset();
    current = nullptr;
}

LRESULT CALLBACK WindowTest::test_procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    current->log.push_back({hwnd, message, wParam, lParam});
    const auto handler = current->handlers_.find(message);
    if (handler != current->handlers_.end())
        return handler->second(hwnd, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND WindowTest::create_window(DWORD style, int x, int y, int width, int height)
{
    return CreateWindowExW(0, test_class, L"Test window", style, x, y, width, height, nullptr, nullptr, nullptr,
                           nullptr);
}

HWND WindowTest::create_control(HWND parent, const wchar_t *window_class, const wchar_t *text, DWORD style, int x,
                                int y, int width, int height, UINT id)
{
    return CreateWindowExW(0, window_class, text, style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
}

HWND WindowTest::create_shown_window()
{
    HWND hwnd = create_window();
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return hwnd;
}

void WindowTest::handle(UINT message, Handler handler) { handlers_[message] = std::move(handler); }

void WindowTest::paint_with(std::function<void(HDC)> draw)
{
    handle(WM_PAINT, [draw = std::move(draw)](HWND hwnd, WPARAM, LPARAM) {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        draw(hdc);
        EndPaint(hwnd, &ps);
        return LRESULT{0};
    });
}

std::vector<Received> WindowTest::received(UINT message) const
{
    std::vector<Received> matching;
    for (const Received &r : log)
        if (r.message == message)
            matching.push_back(r);
    return matching;
}

QColor WindowTest::pixel(HWND hwnd, int x, int y) const { return qtwindow::client_image(hwnd).pixelColor(x, y); }
