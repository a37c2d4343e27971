// The program started with a command line: the starting settings in force from the first tune,
// the log beside the console line, and the answers that need no window.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "display/display_fixture.h"
#include "res/resource.h"

namespace {

namespace fs = std::filesystem;

class StartOptionsShellTest : public DisplayTest {
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        folder = fs::temp_directory_path() / ("quorvex-start-test-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        DisplayTest::TearDown();
        fs::remove_all(folder);
    }

    // Runs the entry point with the command line; the user waits for the given number of ticks
    // and then presses the close box. Keeps what went to the standard streams.
    int run_program(const std::wstring &command_line, int ticks = 0)
    {
        int idle = 0;
        qtwindow::on_idle([&] {
            HWND window = qtwindow::top_level_windows().front();
            if (idle == 0)
                seen_on_screen(window);
            if (++idle <= ticks)
                qtwindow::advance_ms(static_cast<unsigned>(applied_settings.interval_s) * 1000);
            else
                qtwindow::press_close_box(window);
        });
        int exit_code = -1;
        std::wstring line = command_line;
        const Captured captured = capture([&] { exit_code = wWinMain(instance, nullptr, line.data(), SW_SHOWNORMAL); });
        qtwindow::on_idle({});
        out = captured.out;
        err = captured.err;
        return exit_code;
    }

    // What the window showed before its first tick.
    void seen_on_screen(HWND window)
    {
        const std::vector<HWND> controls = qtwindow::children_of(window);
        interval_text = text_of(controls[0]);
        channel_text = text_of(controls[1]);
        checked = SendMessageW(controls[2], BM_GETCHECK, 0, 0);
        period = qtwindow::timer_period(window, SAMPLE_TIMER_ID);
    }

    std::vector<std::string> tune_requests() const
    {
        std::vector<std::string> frequencies;
        for (const tuning::Call &call : tuning::calls())
            if (call.op == "put_TuneRequest")
                frequencies.push_back(call.arg);
        return frequencies;
    }

    static std::string contents(const fs::path &path)
    {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    fs::path folder;
    std::string out;
    std::string err;
    std::wstring interval_text;
    std::wstring channel_text;
    LRESULT checked = -1;
    std::optional<UINT> period;
};

TEST_F(StartOptionsShellTest, TheOptionsAreTheStartingSettingsEverywhere)
{
    EXPECT_EQ(run_program(L"--interval 5 --catv --channel 63", 1), 0);
    EXPECT_EQ(tune_requests(), std::vector<std::string>{"465000"}) << "cable 63 tuned at start, and only it";
    EXPECT_EQ(narrow_text(interval_text), "5");
    EXPECT_EQ(narrow_text(channel_text), "63");
    EXPECT_EQ(checked, BST_CHECKED);
    EXPECT_EQ(period, std::optional<UINT>(5000));
    EXPECT_EQ(pending_settings.interval_s, 5);
    EXPECT_EQ(applied_settings.channel, 63);
    EXPECT_EQ(applied_settings.catv, 1);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    EXPECT_EQ(err, "");
}

TEST_F(StartOptionsShellTest, WithoutOptionsTheDefaultsStartAsBefore)
{
    pending_settings = applied_settings = {7, 40, 1}; // left from an earlier run in this process
    EXPECT_EQ(run_program(L""), 0);
    EXPECT_EQ(tune_requests(), std::vector<std::string>{"473000"});
    EXPECT_EQ(narrow_text(interval_text), "1");
    EXPECT_EQ(narrow_text(channel_text), "13");
    EXPECT_EQ(checked, BST_UNCHECKED);
    EXPECT_EQ(period, std::optional<UINT>(1000));
}

TEST_F(StartOptionsShellTest, TheLogHasOneRowPerConsoleLineWithTheSameFigures)
{
    const fs::path log = folder / "levels.csv";
    EXPECT_EQ(run_program(L"--channel 27 --log \"" + log.wstring() + L"\"", 3), 0);
    EXPECT_EQ(err, "");
    std::stringstream lines(out);
    std::stringstream rows(contents(log));
    std::string line;
    std::string row;
    std::getline(rows, row);
    EXPECT_EQ(row.substr(0, row.find(",layer_a_")), "time,channel,band,frequency_khz,level_db,error_ratio,state");
    int count = 0;
    while (std::getline(lines, line) && std::getline(rows, row)) {
        ++count;
        // " 30.4 |  2.96E-07" and "...,27,UHF,557000,30.4,2.96E-07,ok,QPSK,..." (the layers' are the log's tests')
        const std::string level = line.substr(1, line.find(" |") - 1);
        const std::string ratio = line.substr(line.find('|') + 3);
        const std::string expected =
            ",27,UHF,557000," + level.substr(level.find_first_not_of(' ')) + "," + ratio + ",ok,";
        EXPECT_EQ(row.substr(row.find(','), expected.size()), expected);
    }
    EXPECT_EQ(count, 3);
    EXPECT_FALSE(std::getline(rows, row)) << "no more rows than lines";
}

TEST_F(StartOptionsShellTest, FailedSamplesAreRowsThoughNotLines)
{
    tuning::apply_scenario("unplug-after=1");
    const fs::path log = folder / "levels.csv";
    EXPECT_EQ(run_program(L"--log=" + log.wstring(), 3), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    const std::string text = contents(log);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    // The receiver gone, no layers either.
    const std::string failed = ",13,UHF,473000,,,failed" + std::string(18, ',') + "\n";
    EXPECT_EQ(text.substr(text.size() - failed.size()), failed);
}

TEST_F(StartOptionsShellTest, AFullDiskLeavesTheWindowAndTheLinesAlone)
{
    EXPECT_EQ(run_program(L"--log /dev/full", 3), 0);
    EXPECT_EQ(err, "quorvex: cannot write to the log /dev/full; rows are lost until it can be written again\n");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3);
    EXPECT_NE(level_history[level_history_size - 1], 0.0);
    EXPECT_TRUE(qtwindow::message_boxes().empty());
}

TEST_F(StartOptionsShellTest, ALogThatCannotBeOpenedStopsTheStartWithOne)
{
    const fs::path log = folder / "missing" / "levels.csv";
    EXPECT_EQ(run_program(L"--log " + log.wstring()), 1);
    EXPECT_EQ(err, "quorvex: cannot open the log " + log.string() + ": its folder does not exist\n");
    EXPECT_EQ(out, "");
    ASSERT_EQ(qtwindow::message_boxes().size(), 1u);
    EXPECT_EQ(qtwindow::message_boxes()[0].caption, L"失敗");
    EXPECT_EQ(qtwindow::message_boxes()[0].text,
              L"ログファイルを開けません！終了します\n" + log.wstring() + L": its folder does not exist");
    EXPECT_TRUE(qtwindow::top_level_windows().empty()) << "no window";
    EXPECT_TRUE(tuning::calls().empty()) << "the tuner untouched";
}

struct Answered {
    const wchar_t *line;
    int exit_code;
    std::string out;
    std::string err;
};

TEST_F(StartOptionsShellTest, HelpVersionAndUsageErrorsAreAnsweredWithoutAWindow)
{
    const Answered cases[] = {
        {L"--version", 0, "quorvex 1.0.0.1\n", ""},
        {L"--help", 0, narrow_text(message_text(IDS_HELP)) + "\n", ""},
        {L"--channel 70", 2, "",
         "quorvex: --channel 70: out of range (13 to 62, or 63 with --catv); see quorvex --help\n"},
        {L"--log", 2, "", "quorvex: --log needs a value; see quorvex --help\n"},
        {L"--channel 日本", 2, "", "quorvex: --channel 日本: not a number; see quorvex --help\n"},
    };
    for (const Answered &c : cases) {
        EXPECT_EQ(run_program(c.line), c.exit_code) << narrow_text(c.line);
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(err, c.err);
        EXPECT_TRUE(qtwindow::top_level_windows().empty());
        EXPECT_TRUE(qtwindow::message_boxes().empty());
        EXPECT_TRUE(tuning::calls().empty());
    }
}

TEST(HelpTextTest, FitsAnEightyColumnTerminal)
{
    std::stringstream text(narrow_text(message_text(IDS_HELP)));
    std::string line;
    while (std::getline(text, line))
        EXPECT_LE(line.size(), 80u) << line;
}

} // namespace
