// Alignment mode: four samples a second whatever the interval, the keys that turn it on and off
// and reset the best level, the best level as a band in its own colour with its value, and a
// window that leaves the mode exactly as it would have been without it. The tone itself is heard
// through a real sound server in tests/sound/tone.sh.
#include <cstdlib>
#include <functional>
#include <string>

#include "display/display_fixture.h"

namespace {

const QColor peak_orange(255, 96, 0);
const RECT peak_text_area = {22, 124, 300, 140};
const RECT header_area = {30, 5, 310, 19};

// Level values and the levels they give, 20 log10(5505024 / v): 30.21, 20.17 and 14.39 dB.
const std::uint32_t level_30_db = 170000;
const std::uint32_t level_20_db = 540000;
const std::uint32_t level_14_db = 1050000;

QImage part(const QImage &image, const RECT &r)
{
    return image.copy(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

class AlignmentTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        // No sound server, whatever the machine runs: the tone stays silent. What it says about that
        // is the real binary's, heard in tests/sound/tone.sh.
        const char *server = std::getenv("PULSE_SERVER");
        saved_server = server == nullptr ? std::nullopt : std::optional<std::string>(server);
        setenv("PULSE_SERVER", "unix:/nonexistent/quorvex-test", 1);
    }
    void TearDown() override
    {
        DisplayTest::TearDown();
        if (saved_server)
            setenv("PULSE_SERVER", saved_server->c_str(), 1);
        else
            unsetenv("PULSE_SERVER");
    }

    // As the key's accelerator does.
    void command(WORD id)
    {
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, 1), 0);
        qtwindow::pump_messages();
    }
    void tick_at(std::uint32_t level_value)
    {
        answer_level_value(level_value);
        wait_ms(alignment_period_ms);
    }
    QImage peak_text_shown() const { return part(qtwindow::client_image(hwnd), peak_text_area); }
    // "Peak", the value in four characters and "dB", each at its place.
    static QImage peak_text(const wchar_t *value)
    {
        return part(drawn_alone([&](HDC hdc) {
                        SetTextColor(hdc, RGB(255, 96, 0));
                        TextOutW(hdc, 22, 125, L"Peak", 4);
                        TextOutW(hdc, 50, 125, value, 4);
                        TextOutW(hdc, 76, 125, L"dB", 2);
                    }),
                    peak_text_area);
    }
    // The rows of the chart's interior at x = 100 (between bars) in the peak's colour.
    std::vector<int> band_rows() const
    {
        std::vector<int> rows;
        for (int y = 20; y <= 120; ++y)
            if (pixel(100, y) == peak_orange)
                rows.push_back(y);
        return rows;
    }

    std::optional<std::string> saved_server;
};

// The best level since the mode started is a band two pixels high across the chart, its lower
// row on the top of that level's bar, with "Peak", its value and "dB" under the chart in the same colour;
// a sample without a level holds it, and R starts it afresh from the next sample.
TEST_F(AlignmentTest, TheBestLevelIsHeldAsABandWithItsValue)
{
    start();
    command(align_command);
    const QImage header = part(drawn_alone([](HDC hdc) {
                                   RECT r = {30, 5, 310, 20};
                                   DrawTextW(hdc, L"Channel = 13, Align: 4 samples/s", -1, &r, DT_CENTER | DT_VCENTER);
                               }),
                               header_area);
    EXPECT_EQ(part(qtwindow::client_image(hwnd), header_area), header);
    EXPECT_EQ(peak_text_shown(), peak_text(L"  --"));
    EXPECT_EQ(band_rows(), std::vector<int>{});

    const struct {
        std::uint32_t level_value; // 0: no level
        std::vector<int> band;
        const wchar_t *text;
    } rows[] = {
        {level_20_db, {99, 100}, L"20.2"},
        {level_30_db, {89, 90}, L"30.2"},
        {level_14_db, {89, 90}, L"30.2"},
        {0, {89, 90}, L"30.2"},
    };
    for (const auto &row : rows) {
        tick_at(row.level_value);
        EXPECT_EQ(band_rows(), row.band) << "after a sample at level value " << row.level_value;
        EXPECT_EQ(peak_text_shown(), peak_text(row.text)) << "after a sample at level value " << row.level_value;
    }
    EXPECT_EQ(pixel(20, 89), peak_orange) << "the band spans the chart";
    EXPECT_EQ(pixel(320, 90), peak_orange);
    EXPECT_EQ(pixel(321, 90), black) << "and stops at its outline";
    EXPECT_EQ(pixel(295, 112), bar_green) << "the 14 dB bar below the band";

    command(reset_peak_command);
    EXPECT_EQ(band_rows(), std::vector<int>{});
    EXPECT_EQ(peak_text_shown(), peak_text(L"  --"));
    tick_at(level_14_db);
    EXPECT_EQ(band_rows(), (std::vector<int>{105, 106}));
    EXPECT_EQ(peak_text_shown(), peak_text(L"14.4"));
}

// Leaving the mode leaves every pixel as a window that was never in it draws them.
TEST_F(AlignmentTest, LeavingTheModeLeavesTheWindowAsItWasWithoutIt)
{
    const auto window_after = [&](bool aligned) {
        start();
        answer_level_value(level_30_db);
        for (int tick = 0; tick < 3; ++tick)
            wait_ms(1000);
        for (int repaint = 0; repaint < 2; ++repaint) {
            if (aligned)
                command(align_command);
            else
                InvalidateRect(hwnd, nullptr, FALSE);
            qtwindow::pump_messages();
        }
        QImage image = qtwindow::client_image(hwnd);
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
        // Its quit request goes with it, and time starts again.
        qtwindow::reset();
        qtwindow::use_virtual_clock(true);
        return image;
    };
    const QImage never = window_after(false);
    const QImage left = window_after(true);
    EXPECT_EQ(left, never);
}

// In the running program: --align starts the mode at four samples a second whatever the interval,
// which the edit keeps; the A key leaves and enters it wherever the focus is, and an A typed into
// an edit is the key's, not the edit's.
TEST_F(AlignmentTest, TheAKeyTurnsTheModeOffAndOnAndTheIntervalWaits)
{
    std::vector<std::optional<UINT>> periods;
    std::wstring channel_text;
    int step = 0;
    qtwindow::on_idle([&] {
        HWND window = qtwindow::top_level_windows().front();
        const std::vector<HWND> controls = qtwindow::children_of(window);
        periods.push_back(qtwindow::timer_period(window, SAMPLE_TIMER_ID));
        switch (step++) {
        case 0: qtwindow::advance_ms(4 * alignment_period_ms); break;
        case 1:
            qtwindow::click(controls[1]);
            qtwindow::press_key('a');
            break;
        case 2:
            channel_text = text_of(controls[1]);
            qtwindow::press_key('a');
            break;
        default: qtwindow::press_close_box(window); break;
        }
    });
    int exit_code = -1;
    WCHAR line[] = L"--align --interval 10";
    const Captured captured = capture([&] { exit_code = wWinMain(instance, nullptr, line, SW_SHOWNORMAL); });
    qtwindow::on_idle({});
    EXPECT_EQ(exit_code, 0);
    const std::vector<std::optional<UINT>> expected = {250u, 250u, 10000u, 250u};
    EXPECT_EQ(periods, expected);
    EXPECT_EQ(narrow_text(channel_text), "13");
    EXPECT_EQ(pending_settings.interval_s, 10);
    EXPECT_EQ(std::count(captured.out.begin(), captured.out.end(), '\n'), 1) << captured.out;
}

} // namespace
