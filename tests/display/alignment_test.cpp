// Alignment mode: four samples a second whatever the interval, the keys that turn it on and off
// and reset the best level, the best level as a band in its own colour with its value, and a
// window that leaves the mode exactly as it would have been without it. The tone itself is heard
// through a real sound server in tests/sound/tone.sh.
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

bool has_reader() { return std::system("command -v tesseract >/dev/null") == 0; }

// The lines of text in the images, one under the other, as Debian's OCR engine reads them at four
// times the size, where its models read best: what a user sees, in words no code of ours chose.
// One reading for them all, as the engine takes a second to start.
std::vector<std::string> read_lines(const std::vector<QImage> &images)
{
    int width = 0;
    int height = 0;
    for (const QImage &image : images) {
        width = std::max(width, image.width());
        height += image.height();
    }
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(menu_background);
    QPainter painter(&page);
    int top = 0;
    for (const QImage &image : images) {
        painter.drawImage(0, top, image);
        top += image.height();
    }
    painter.end();
    QTemporaryDir folder;
    const std::string file = folder.filePath("page.png").toStdString();
    page.scaled(page.size() * 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(QString::fromStdString(file));
    std::vector<std::string> lines;
    if (FILE *reader = popen(("tesseract " + file + " - --psm 6 2>/dev/null").c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, reader) != nullptr) {
            const std::string text(line, std::strcspn(line, "\n\f"));
            if (!text.empty())
                lines.push_back(text);
        }
        pclose(reader);
    }
    return lines;
}

// A line of coloured text on the chart as the reader reads best, dark on light by brightness
// alone, stretched to the whole range, the grid left out; and the hue of its brightest pixel, -1
// for none.
std::pair<QImage, int> as_read(const QImage &line)
{
    QColor brightest = black;
    QImage page(line.size(), QImage::Format_RGB32);
    for (int pass = 0; pass < 2; ++pass)
        for (int y = 0; y < line.height(); ++y)
            for (int x = 0; x < line.width(); ++x) {
                const QColor c = line.pixelColor(x, y) == grid ? black : line.pixelColor(x, y);
                if (pass == 0 && c.value() > brightest.value())
                    brightest = c;
                else if (pass == 1)
                    page.setPixelColor(x, y,
                                       QColor::fromHsv(0, 0, 255 - c.value() * 255 / std::max(brightest.value(), 1)));
            }
    return {page, brightest == black ? -1 : brightest.hsvHue()};
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
    QImage seen(const RECT &area) const { return part(qtwindow::client_image(hwnd), area); }
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
// row on the top of that level's bar, with its value under the chart in the same colour; a sample
// without a level holds it, and R, or the mode left and entered again, starts it afresh from the
// next sample.
TEST_F(AlignmentTest, TheBestLevelIsHeldAsABandWithItsValue)
{
    if (!has_reader())
        GTEST_SKIP() << "tesseract is not installed (Debian's tesseract-ocr)";
    start();
    command(align_command);
    std::vector<QImage> texts = {seen(header_area), seen(peak_text_area)};
    EXPECT_EQ(band_rows(), std::vector<int>{});

    const struct {
        const char *step;
        std::function<void()> act;
        std::vector<int> band;
    } rows[] = {
        {"a sample at 20.2 dB", [&] { tick_at(level_20_db); }, {99, 100}},
        {"a sample at 30.2 dB", [&] { tick_at(level_30_db); }, {89, 90}},
        {"a sample at 14.4 dB", [&] { tick_at(level_14_db); }, {89, 90}},
        {"a sample without a level", [&] { tick_at(0); }, {89, 90}},
        {"R", [&] { command(reset_peak_command); }, {}},
        {"a sample at 14.4 dB after R", [&] { tick_at(level_14_db); }, {105, 106}},
        {"A twice",
         [&] {
             command(align_command);
             command(align_command);
         },
         {}},
        {"a sample at 20.2 dB after A twice", [&] { tick_at(level_20_db); }, {99, 100}},
    };
    for (const auto &row : rows) {
        row.act();
        EXPECT_EQ(band_rows(), row.band) << "after " << row.step;
        texts.push_back(seen(peak_text_area));
    }
    const std::vector<std::string> read = {
        "Channel = 13, Align: 4 samples/s",
        "Peak -- dB (R resets)",
        "Peak 20.2 dB (R resets)",
        "Peak 30.2 dB (R resets)",
        "Peak 30.2 dB (R resets)",
        "Peak 30.2 dB (R resets)",
        "Peak -- dB (R resets)",
        "Peak 14.4 dB (R resets)",
        "Peak -- dB (R resets)",
        "Peak 20.2 dB (R resets)",
    };
    EXPECT_EQ(read_lines(texts), read);
    EXPECT_EQ(pixel(20, 99), peak_orange) << "the band spans the chart";
    EXPECT_EQ(pixel(320, 100), peak_orange);
    EXPECT_EQ(pixel(321, 100), black) << "and stops at its outline";
    EXPECT_EQ(pixel(305, 112), bar_green) << "the 14 dB bar below the band";
}

// Where the receiver describes ISDB-T's layers, the mode shows a line for each in use at the
// chart's top, in its verdict's colour (green good, red failing). The steady simulated multiplex:
// on channel 13 (30.0 dB) layer A at 30.4 dB against the 6.6 dB QPSK 2/3 needs, B at 29.8 dB
// against 20.1 for 64QAM 3/4; on channel 24 (14.0 dB) B fails first; where nothing is broadcast
// there is no lock, no layer.
TEST_F(AlignmentTest, EachLayerInUseIsALineInItsVerdictsColour)
{
    if (!has_reader())
        GTEST_SKIP() << "tesseract is not installed (Debian's tesseract-ocr)";
    tuning::SimulatedTrouble steady;
    steady.steady = true;
    tuning::set_trouble(steady);
    start();
    command(align_command);
    const struct {
        const wchar_t *channel;
        std::vector<std::string> lines;
        std::vector<int> hues;
    } rows[] = {
        {L"13", {"A QPSK 2/3 +23.8 dB good", "B 64QAM 3/4 +9.7 dB good"}, {120, 120}},
        {L"24", {"A QPSK 2/3 +7.8 dB good", "B 64QAM 3/4 -6.3 dB failing"}, {120, 0}},
        {L"14", {}, {}},
    };
    for (const auto &row : rows) {
        SendMessageW(channel_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.channel));
        qtwindow::click(channel_edit);
        qtwindow::click(apply_button);
        wait_ms(alignment_period_ms);
        std::vector<QImage> lines;
        std::vector<int> hues;
        for (int top = 22; top < 61; top += 13) {
            const auto [line, hue] = as_read(seen({21, top, 210, top + 13}));
            if (hue >= 0) {
                lines.push_back(line);
                hues.push_back(hue);
            }
        }
        EXPECT_EQ(lines.empty() ? std::vector<std::string>{} : read_lines(lines), row.lines)
            << narrow_text(row.channel);
        EXPECT_EQ(hues, row.hues) << narrow_text(row.channel);
    }
}

// However fast the A key is pressed, the sampling goes on at the pace of the mode the key leaves
// the window in, from the last sample: never a pause, never a sample sooner than that pace. Twenty-one presses 120 ms
// apart, and two more when the pace has settled, by hand: the mode's first sample 250 ms after
// the last, or at once (the timer's shortest period, 10 ms) when that is past; 1 s after the last
// outside the mode.
TEST_F(AlignmentTest, PressingTheAKeyAgainAndAgainNeitherStopsNorHurriesTheSampling)
{
    start();
    std::vector<unsigned> presses = {4400, 6400};
    for (unsigned press = 0; press < 21; ++press)
        presses.push_back(1100 + 120 * press);
    std::vector<unsigned> samples;
    for (unsigned now = 10; now <= 6900; now += 10) {
        if (!wait_ms(10).empty())
            samples.push_back(now);
        if (std::find(presses.begin(), presses.end(), now) != presses.end())
            command(align_command);
    }
    const std::vector<unsigned> expected = {1000, 1350, 1600, 1850, 2100, 2350, 2600, 2850, 3100,
                                            3350, 3600, 3850, 4100, 4350, 5350, 6350, 6600, 6850};
    EXPECT_EQ(samples, expected);
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
