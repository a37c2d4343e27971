// Repaint requests, WM_PAINT and the persistent backing image; the main window's frame.
#include <QGuiApplication>
#include <QScreen>

#include "window_test.h"

using PaintTest = WindowTest;
using TopLevelWindowTest = WindowTest;

static void fill(HDC hdc, RECT rect, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(hdc, &rect, brush);
    DeleteObject(brush);
}

// The first show fills the client area with the class background before the first paint.
TEST_F(PaintTest, FirstShowFillsWithClassBackground)
{
    HWND hwnd = create_window();
    qtwindow::pump_messages();
    EXPECT_TRUE(received(WM_PAINT).empty()) << "a hidden window is not painted";
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    const QImage image = qtwindow::client_image(hwnd);
    EXPECT_EQ(image.pixelColor(0, 0), menu_grey);
    EXPECT_EQ(image.pixelColor(333, 170), menu_grey);
    EXPECT_EQ(image.pixelColor(167, 85), menu_grey);
}

// UpdateWindow paints at once when part of the window is invalid, and not otherwise.
TEST_F(PaintTest, UpdateWindowPaintsAtOnceOnlyWhenInvalid)
{
    HWND hwnd = create_window();
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    EXPECT_EQ(received(WM_PAINT).size(), 1u);
    UpdateWindow(hwnd);
    EXPECT_EQ(received(WM_PAINT).size(), 1u);
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    EXPECT_EQ(received(WM_PAINT).size(), 2u);
}

// Invalidations pile up into exactly one later WM_PAINT, delivered by the message loop.
TEST_F(PaintTest, InvalidationsCoalesceIntoOneLaterPaint)
{
    HWND hwnd = create_shown_window();
    log.clear();
    InvalidateRect(hwnd, nullptr, FALSE);
    InvalidateRect(hwnd, nullptr, FALSE);
    EXPECT_TRUE(received(WM_PAINT).empty()) << "InvalidateRect paints nothing by itself";
    EXPECT_EQ(qtwindow::pump_messages(), 1);
    EXPECT_EQ(received(WM_PAINT).size(), 1u);
    EXPECT_EQ(qtwindow::pump_messages(), 0);
}

// BeginPaint reports the invalid part of the client area.
TEST_F(PaintTest, BeginPaintReportsTheInvalidRectangle)
{
    HWND hwnd = create_shown_window();
    RECT painted = {};
    handle(WM_PAINT, [&](HWND h, WPARAM, LPARAM) {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        painted = ps.rcPaint;
        EndPaint(h, &ps);
        return LRESULT{0};
    });
    const RECT part = {10, 20, 30, 40};
    InvalidateRect(hwnd, &part, FALSE);
    qtwindow::pump_messages();
    EXPECT_EQ(painted.left, 10);
    EXPECT_EQ(painted.top, 20);
    EXPECT_EQ(painted.right, 30);
    EXPECT_EQ(painted.bottom, 40);
}

// Pixels a repaint does not touch keep what an earlier repaint drew.
TEST_F(PaintTest, RepaintKeepsUntouchedPixels)
{
    paint_with([](HDC hdc) { fill(hdc, {10, 10, 50, 50}, RGB(255, 0, 0)); });
    HWND hwnd = create_shown_window();
    paint_with([](HDC hdc) { fill(hdc, {20, 20, 30, 30}, RGB(0, 0, 255)); });
    InvalidateRect(hwnd, nullptr, FALSE);
    qtwindow::pump_messages();
    EXPECT_EQ(pixel(hwnd, 12, 12), QColor(255, 0, 0));
    EXPECT_EQ(pixel(hwnd, 25, 25), QColor(0, 0, 255));
    EXPECT_EQ(pixel(hwnd, 5, 5), menu_grey);
}

// Only an invalidation that asks for it erases the background again.
TEST_F(PaintTest, EraseOnlyWhenAsked)
{
    paint_with([](HDC hdc) { fill(hdc, {10, 10, 50, 50}, RGB(255, 0, 0)); });
    HWND hwnd = create_shown_window();
    paint_with([](HDC) {});
    InvalidateRect(hwnd, nullptr, FALSE);
    qtwindow::pump_messages();
    EXPECT_EQ(pixel(hwnd, 12, 12), QColor(255, 0, 0));
    InvalidateRect(hwnd, nullptr, TRUE);
    qtwindow::pump_messages();
    EXPECT_EQ(pixel(hwnd, 12, 12), menu_grey);
}

// Painting reaches the screen: the window as shown carries the backing image.
TEST_F(PaintTest, ShownWindowShowsTheBackingImage)
{
    paint_with([](HDC hdc) { fill(hdc, {0, 0, 20, 20}, RGB(0, 128, 0)); });
    HWND hwnd = create_shown_window();
    EXPECT_EQ(qtwindow::window_image(hwnd).pixelColor(5, 5), QColor(0, 128, 0));
}

// What reaches the display follows every repaint, the small changes among them.
TEST_F(PaintTest, TheDisplayFollowsEveryRepaint)
{
    int square = 0;
    paint_with([&square](HDC hdc) {
        fill(hdc, {0, 0, 334, 171}, RGB(0, 128, 0));
        fill(hdc, {40 * square, 50, 40 * square + 10, 60}, RGB(255, 0, 0));
    });
    HWND hwnd = create_shown_window();
    for (int step : {1, 2, 2, 0}) {
        square = step;
        InvalidateRect(hwnd, nullptr, FALSE);
        qtwindow::pump_messages();
        EXPECT_EQ(qtwindow::display_image(hwnd), qtwindow::client_image(hwnd)) << "square at " << step;
    }
}

// A caption with a close box at 340 x 200 leaves the client area Windows gives: 334 x 171.
TEST_F(TopLevelWindowTest, CaptionedWindowHasWindowsClientArea)
{
    HWND hwnd = create_window(WS_CAPTION | WS_SYSMENU, 30, 40, 340, 200);
    EXPECT_EQ(qtwindow::client_image(hwnd).size(), QSize(334, 171));
    const QWidget *widget = qtwindow::widget_of(hwnd);
    EXPECT_EQ(widget->size(), QSize(334, 171));
    EXPECT_EQ(widget->minimumSize(), widget->maximumSize()) << "fixed size";
    EXPECT_EQ(widget->pos(), QPoint(30, 40)) << "positioned by its frame";
    const Qt::WindowFlags flags = widget->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(widget->windowTitle(), QString("Test window"));
}

// The screen size is the primary screen's, for centring.
TEST_F(TopLevelWindowTest, ScreenMetricsArePrimaryScreenSize)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(width, screen.width());
    EXPECT_EQ(height, screen.height());
    EXPECT_GT(screen.width(), 340);
}
