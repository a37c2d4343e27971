// What a repaint draws: the gridded chart, one bar per sample, the newest value and the header.
#include <QImage>
#include <cwchar>
#include <functional>

#include "display/display_fixture.h"

namespace {

bool same_region(const QImage &a, const QImage &b, RECT r)
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return false;
    return true;
}

const RECT value_box = {305, 125, 335, 145};
const RECT header_box = {30, 5, 310, 20};
const RECT header_compared = {30, 5, 310, 19}; // the chart's outline runs along row 19

class ChartTest : public DisplayTest {
protected:
    void repaint()
    {
        InvalidateRect(hwnd, nullptr, FALSE);
        qtwindow::pump_messages();
    }
    bool value_box_shows(const wchar_t *text)
    {
        return same_region(qtwindow::client_image(hwnd),
                           drawn_alone([&](HDC hdc) { TextOutW(hdc, 305, 125, text, 4); }), value_box);
    }
    bool header_shows(const wchar_t *text)
    {
        const QImage expected = drawn_alone([&](HDC hdc) {
            RECT r = header_box;
            DrawTextW(hdc, text, -1, &r, DT_CENTER | DT_VCENTER);
        });
        return same_region(qtwindow::client_image(hwnd), expected, header_compared);
    }
};

TEST_F(ChartTest, AnEmptyHistoryDrawsABlackGriddedChartWithoutBars)
{
    start();
    for (int x = 20; x <= 320; x += 10)
        for (int y = 21; y < 120; y += 7)
            EXPECT_EQ(pixel(x, y), grid) << "vertical grid line at x = " << x << ", y = " << y;
    for (int y = 20; y <= 120; y += 10)
        for (int x = 21; x < 320; x += 7)
            EXPECT_EQ(pixel(x, y), grid) << "horizontal grid line at y = " << y << ", x = " << x;
    for (int i = 0; i < level_history_size; ++i)
        EXPECT_EQ(pixel(25 + 10 * i, 105), black) << "no bar in column " << i;
    EXPECT_EQ(pixel(19, 60), black) << "the chart's outline";
    EXPECT_EQ(pixel(321, 60), black);
    EXPECT_EQ(pixel(100, 168), grid) << "the settings underline";
    EXPECT_EQ(pixel(231, 168), menu_background);
    EXPECT_TRUE(value_box_shows(L" 0.0"));
}

TEST_F(ChartTest, BarsRiseOnePixelPerDecibelFromTheBaseline)
{
    start();
    level_history[0] = 25.9;
    level_history[1] = 99.0;
    level_history[2] = 0.0;
    level_history[3] = -1.0;
    level_history[4] = -9.7;
    level_history[29] = 25.9;
    repaint();

    // 25.9 truncates to 25: a rectangle from y = 95 to 120 at x = 22, outlined in black.
    EXPECT_EQ(pixel(25, 96), bar_green);
    EXPECT_EQ(pixel(25, 118), bar_green);
    EXPECT_EQ(pixel(25, 95), black) << "top outline";
    EXPECT_EQ(pixel(25, 94), black) << "nothing above the bar";
    EXPECT_EQ(pixel(22, 105), black) << "left outline";
    EXPECT_EQ(pixel(23, 105), bar_green);
    EXPECT_EQ(pixel(27, 105), bar_green);
    EXPECT_EQ(pixel(28, 105), black) << "right outline: the bar is 7 pixels wide";
    EXPECT_EQ(pixel(29, 105), black);
    // 99.0 tops at y = 21, just under the top grid line.
    EXPECT_EQ(pixel(35, 21), black);
    EXPECT_EQ(pixel(35, 22), bar_green);
    EXPECT_EQ(pixel(35, 20), grid);
    // 0.0, -1.0 and -9.7 draw nothing.
    for (int x : {45, 55, 65})
        EXPECT_EQ(pixel(x, 105), black) << "x = " << x;
    EXPECT_EQ(pixel(315, 105), bar_green) << "the newest entry is the rightmost bar";
    EXPECT_TRUE(value_box_shows(L"25.9"));
}

TEST_F(ChartTest, TheValueBoxShowsTheNewestEntryAndSentinelsAsNumbers)
{
    start();
    const struct {
        double level;
        const wchar_t *shown;
    } rows[] = {{99.0, L"99.0"}, {-1.0, L"-1.0"}, {-9.7, L"-9.7"}, {0.0, L" 0.0"}, {7.25, L" 7.2"}};
    for (const auto &row : rows) {
        level_history[29] = row.level;
        repaint();
        EXPECT_TRUE(value_box_shows(row.shown)) << "level " << row.level;
    }
}

TEST_F(ChartTest, TheHeaderShowsTheAppliedSettingsInTheBandsFormat)
{
    start();
    EXPECT_TRUE(header_shows(L"Channel = 13, Interval = 1 (s)"));
    applied_settings = {5, 13, 1};
    repaint();
    EXPECT_TRUE(header_shows(L"Channel = C13, Interval = 5 (s)"));
    EXPECT_FALSE(header_shows(L"Channel = 13, Interval = 5 (s)")) << "the comparison tells texts apart";
    applied_settings = {60, 9, 0};
    repaint();
    EXPECT_TRUE(header_shows(L"Channel =  9, Interval = 60 (s)"));
    reception = {true, 500250}; // another program tuned a frequency on neither plan
    repaint();
    EXPECT_TRUE(header_shows(L"Frequency = 500.250 MHz, Interval = 60 (s)"));
}

// Texts drawn again over themselves do not grow darker: the same history repaints the same pixels.
TEST_F(ChartTest, RepaintsOfTheSameHistoryDrawTheSamePixels)
{
    start();
    level_history[29] = 31.4;
    repaint();
    const QImage first = qtwindow::client_image(hwnd);
    for (int i = 0; i < 4; ++i)
        repaint();
    EXPECT_EQ(qtwindow::client_image(hwnd), first);
}

TEST_F(ChartTest, ARepaintDeletesEveryObjectItCreates)
{
    start();
    const std::size_t before = qtwindow::live_gdi_objects();
    for (int i = 0; i < 5; ++i)
        repaint();
    EXPECT_EQ(qtwindow::live_gdi_objects(), before);
}

} // namespace
