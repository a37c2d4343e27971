// The sample log: the exact row for each kind of sample at a time a test clock gives, ISDB-T's
// layers at its end, the header of a new file and the columns of an old one, numbers that keep
// their decimal point under any locale, a file that cannot be opened, and a disk that fails while
// the monitor runs.
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <sys/file.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include "support/sim_fixture.h"

namespace {

namespace fs = std::filesystem;

// 2026-12-07 13:16:05 UTC.
const std::time_t test_moment = 1796649365;
std::time_t test_now = test_moment;
std::time_t test_clock() { return test_now; }

const std::string short_header = "time,channel,band,frequency_khz,level_db,error_ratio,state\n";
const std::string header =
    "time,channel,band,frequency_khz,level_db,error_ratio,state,"
    "layer_a_modulation,layer_a_code_rate,layer_a_segments,layer_a_cnr_db,layer_a_margin_db,layer_a_verdict,"
    "layer_b_modulation,layer_b_code_rate,layer_b_segments,layer_b_cnr_db,layer_b_margin_db,layer_b_verdict,"
    "layer_c_modulation,layer_c_code_rate,layer_c_segments,layer_c_cnr_db,layer_c_margin_db,layer_c_verdict\n";
// The steady simulated receiver on channel 13, 30.0 dB: layer A at 30.4 dB needs 6.6 for QPSK 2/3,
// layer B at 29.8 dB 20.1 for 64QAM 3/4, whatever level the tests answer with; C is unused.
const std::string layers = ",QPSK,2/3,1,30.4,23.8,good,64QAM,3/4,12,29.8,9.7,good,,,,,,";
const std::string no_layers(18, ',');

class SampleLogTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        const char *zone = std::getenv("TZ");
        saved_zone = zone == nullptr ? std::optional<std::string>() : std::string(zone);
        use_zone("JST-9");
        test_now = test_moment;
        sample_clock = test_clock;
        folder = fs::temp_directory_path() / ("quorvex-log-test-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        path = folder / "levels.csv";
        tuning::SimulatedTrouble steady;
        steady.steady = true;
        tuning::set_trouble(steady);
        bring_tuner_up();
    }

    void TearDown() override
    {
        close_sample_log();
        sample_clock = saved_clock;
        if (saved_zone)
            setenv("TZ", saved_zone->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
        fs::remove_all(folder);
        SimTest::TearDown();
    }

    static void use_zone(const char *zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }

    // One tick's sample and its row; returns what went to standard error.
    static std::string tick()
    {
        return capture([] { write_sample_log_row(record_sample()); }).err;
    }

    std::string contents() const
    {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Every row but the header, without its time column.
    std::string rows_without_time() const
    {
        std::stringstream text(contents());
        std::string line;
        std::string rows;
        std::getline(text, line);
        while (std::getline(text, line))
            rows += line.substr(line.find(',') + 1) + "\n";
        return rows;
    }

    std::time_t (*saved_clock)() = sample_clock;
    std::optional<std::string> saved_zone;
    fs::path folder;
    fs::path path;
};

// Each kind of sample as every output shows it: the console line, the level the history keeps
// (and the value box and bar draw), and the log's row, all from the one record of the tick.
struct SampleCase {
    const char *name;
    std::uint32_t v, e, n;           // the level value, error count and cycle count read
    std::uint32_t broken;            // a selector whose exchange fails, or 0
    tuning::PropertyAnswer breakage; // how it fails
    const char *line;
    double history;
    const char *row; // without the time
};

TEST_F(SampleLogTest, EachKindOfSampleAsTheLineTheHistoryAndTheRowShowIt)
{
    const tuning::PropertyAnswer short_answer{0, 2, 0, 0};
    const tuning::PropertyAnswer failing_get{0, 4, 0, static_cast<tuning::Result>(E_FAIL)};
    const tuning::PropertyAnswer failing_set{0, 4, static_cast<tuning::Result>(0x8007001F), 0};
    // 0x054000 = 5505024 / 16: 20 log10(16) = 24.08 dB; 256 / (100 x 1632) = 1.57E-03.
    const SampleCase cases[] = {
        {"ok", 0x054000, 256, 100, 0, {}, " 24.1 |  1.57E-03\n", 24.082, "24.1,1.57E-03,ok"},
        {"no errors", 0x054000, 0, 100, 0, {}, " 24.1 |  0.00E+00\n", 24.082, "24.1,0.00E+00,ok"},
        {"the largest ratio", 0x054000, 0xFFFFFF, 1, 0, {}, " 24.1 |  1.03E+04\n", 24.082, "24.1,1.03E+04,ok"},
        {"zero level, read ratio", 0, 0xFFFFFF, 1, 0, {}, " -- |  1.03E+04\n", -1.0, ",1.03E+04,no-level"},
        {"zero cycles", 0x054000, 5, 0, 0, {}, " 24.1 | --------- \n", 24.082, "24.1,,no-ratio"},
        {"zero over zero", 0x054000, 0, 0, 0, {}, " 24.1 | --------- \n", 24.082, "24.1,,no-ratio"},
        // 20 log10(5505024 / 16777215) = -9.68 dB: negative, but read.
        {"lowest level", 0xFFFFFF, 0, 0, 0, {}, " -9.7 | --------- \n", -9.679, "-9.7,,no-ratio"},
        {"short error answer", 0x054000, 256, 100, 0xA120, short_answer, " 24.1 | -2.00E+00\n", 24.082,
         "24.1,,ratio-failed"},
        {"failing cycle Get", 0x054000, 256, 100, 0xA720, failing_get, " 24.1 | -2.00E+00\n", 24.082,
         "24.1,,ratio-failed"},
        {"zero level, failed ratio", 0, 256, 100, 0xA620, failing_get, " -- | -2.00E+00\n", -1.0, ",,no-level"},
        {"zero level, zero cycles", 0, 256, 0, 0, {}, " -- | --------- \n", -1.0, ",,no-level"},
        {"short level answer", 0x054000, 256, 100, 0x8C20, short_answer, "", 0.0, ",,failed"},
        {"failing level Set", 0x054000, 256, 100, 0x8D20, failing_set, "", 0.0, ",,failed"},
    };
    ASSERT_TRUE(open_sample_log(path.wstring()));
    std::string rows;
    for (const SampleCase &c : cases) {
        answer_level_value(c.v);
        answer_error_count(c.e);
        answer_cycle_count(c.n);
        if (c.broken != 0)
            tuning::answer(c.broken, c.breakage);
        const Captured captured = capture([] { write_sample_log_row(record_sample()); });
        EXPECT_EQ(captured.out, c.line) << c.name;
        EXPECT_EQ(captured.err, c.broken == 0x8D20 ? "get_level: IKsPropertySet.Set hr=8007001F\n" : "") << c.name;
        EXPECT_NEAR(level_history[level_history_size - 1], c.history, 0.001) << c.name;
        rows += std::string("13,UHF,473000,") + c.row + layers + "\n";
        tuning::clear_answers();
    }
    EXPECT_EQ(rows_without_time(), rows);
}

TEST_F(SampleLogTest, RowsCarryTheSettingsInForce)
{
    ASSERT_TRUE(open_sample_log(path.wstring()));
    answer_level_value(0x540000); // 0.0 dB
    answer_error_count(0);
    answer_cycle_count(1);
    applied_settings = {5, 27, 1};
    tick();
    applied_settings = {5, 13, 1};
    tick();
    applied_settings = {5, 62, 0};
    tick();
    // Watching a tuner another program holds on a frequency of neither plan: no channel to name.
    write_sample_log_row(
        {test_moment, 14, 0, 500000, {reading_zero, -1.0, reading_failed, 0.0}, sample_no_level, true, {}});
    EXPECT_EQ(rows_without_time(), "27,CATV,249000,0.0,0.00E+00,ok" + layers + "\n" + "13,CATV,111000,0.0,0.00E+00,ok" +
                                       layers + "\n" + "62,UHF,767000,0.0,0.00E+00,ok" + layers + "\n" +
                                       ",,500000,,,no-level" + no_layers + "\n");
}

TEST_F(SampleLogTest, TimesAreLocalWithTheirOffsetFromUtc)
{
    struct Case {
        const char *zone;
        std::time_t when;
        const char *time;
    };
    const Case cases[] = {
        {"JST-9", test_moment, "2026-12-07T22:16:05+09:00"},
        {"UTC0", test_moment, "2026-12-07T13:16:05+00:00"},
        {"EST5", test_moment, "2026-12-07T08:16:05-05:00"},
        {"<+0530>-5:30", test_moment, "2026-12-07T18:46:05+05:30"},
        {"<-0330>3:30", test_moment, "2026-12-07T09:46:05-03:30"},
        {"JST-9", 1798747200, "2027-01-01T05:00:00+09:00"}, // a new year here, not yet in UTC
        {"EST5", 1798768800, "2026-12-31T21:00:00-05:00"},  // the old year here, the new one in UTC
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1782220800, "2026-06-23T15:20:00+02:00"}, // summer time
        {"XXX-5:30:15", test_moment, "2026-12-07T13:16:05Z"}, // an offset of seconds has no ISO form: UTC
    };
    ASSERT_TRUE(open_sample_log(path.wstring()));
    for (const Case &c : cases) {
        use_zone(c.zone);
        test_now = c.when;
        tick();
    }
    std::stringstream text(contents());
    std::string line;
    std::getline(text, line);
    for (const Case &c : cases) {
        std::getline(text, line);
        EXPECT_EQ(line.substr(0, line.find(',')), c.time) << c.zone;
    }
}

TEST_F(SampleLogTest, TheHeaderStartsANewOrEmptiedFileOnly)
{
    ASSERT_TRUE(open_sample_log(path.wstring()));
    EXPECT_EQ(contents(), header) << "a run stopped before its first sample leaves a file with its header";
    tick();
    close_sample_log();
    ASSERT_TRUE(open_sample_log(path.wstring()));
    tick();
    std::string text = contents();
    EXPECT_EQ(text.substr(0, header.size()), header);
    EXPECT_EQ(text.find(header, 1), std::string::npos) << "appended without a second header";
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);

    fs::resize_file(path, 0); // emptied by hand while the monitor runs
    tick();
    text = contents();
    EXPECT_EQ(text.substr(0, header.size()), header);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

// A log begun before the layers' columns goes on in its own columns, under its one header, until
// it is emptied; any other file takes the rows with every column.
TEST_F(SampleLogTest, AnOlderLogKeepsItsColumns)
{
    answer_level_value(0x054000);
    answer_error_count(256);
    answer_cycle_count(100);
    const std::string sample = "2026-12-07T22:16:05+09:00,13,UHF,473000,24.1,1.57E-03,ok";
    const struct {
        const char *what;
        std::string before;
        std::string after;
    } cases[] = {
        {"an older log", short_header + sample + "\n", short_header + sample + "\n" + sample + "\n"},
        {"another file", "time\n", "time\n" + sample + layers + "\n"},
    };
    for (const auto &c : cases) {
        std::ofstream(path, std::ios::binary) << c.before;
        ASSERT_TRUE(open_sample_log(path.wstring()));
        tick();
        close_sample_log();
        EXPECT_EQ(contents(), c.after) << c.what;
    }

    std::ofstream(path, std::ios::binary) << short_header;
    ASSERT_TRUE(open_sample_log(path.wstring()));
    fs::resize_file(path, 0); // a log rotation's copy and truncate
    tick();
    EXPECT_EQ(contents(), header + sample + layers + "\n") << "emptied, it starts again with every column";
}

// Each layer's figures as the receiver gives them, and nothing it does not give: a layer it does
// not describe has its C/N alone, an unused one nothing.
TEST_F(SampleLogTest, EachLayerAsTheReceiverDescribesIt)
{
    ReceiverFigures described{};
    described.reported = true;
    described.layers_known = true;
    described.carrier_to_noise_db[part_layer_a] = {true, 14.44};
    described.carrier_to_noise_db[part_layer_c] = {true, 3.0};
    described.layers[0] = {true, "QPSK", "2/3", 1, 4, {true, 6.6}, {true, 7.84}, verdict_good};
    described.layers[1] = {true, nullptr, nullptr, 12, 2, {}, {true, -6.26}, verdict_failing};
    ReceiverFigures undescribed{};
    undescribed.reported = true;
    undescribed.carrier_to_noise_db[part_layer_b] = {true, 21.04};
    const struct {
        const char *what;
        ReceiverFigures receiver;
        std::string columns;
    } cases[] = {
        {"described", described, ",QPSK,2/3,1,14.4,7.8,good,,,12,,-6.3,failing,,,,,,"},
        {"not described", undescribed, ",,,,,,,,,,21.0,,,,,,,,"},
    };
    ASSERT_TRUE(open_sample_log(path.wstring()));
    std::string rows;
    for (const auto &c : cases) {
        write_sample_log_row(
            {test_moment, 13, 0, 473000, {reading_value, 14.0, reading_value, 0.0}, sample_ok, false, c.receiver});
        rows += "13,UHF,473000,14.0,0.00E+00,ok" + c.columns + "\n";
    }
    EXPECT_EQ(rows_without_time(), rows);
}

// Another instance holds the lock for three of the writer's tries (5 ms apart), halfway through
// its own row: the row waits for it and goes in whole, after that one.
TEST_F(SampleLogTest, ARowWaitsForALockHeldForAFewTries)
{
    answer_level_value(0x054000);
    answer_error_count(256);
    answer_cycle_count(100);
    const std::string row = "2026-12-07T22:16:05+09:00,13,UHF,473000,24.1,1.57E-03,ok" + layers + "\n";
    ASSERT_TRUE(open_sample_log(path.wstring()));
    std::promise<void> holding;
    std::thread other([&] {
        const int descriptor = open(path.c_str(), O_WRONLY | O_APPEND);
        flock(descriptor, LOCK_EX);
        EXPECT_EQ(write(descriptor, row.data(), 20), 20);
        holding.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        EXPECT_EQ(write(descriptor, row.data() + 20, row.size() - 20), static_cast<ssize_t>(row.size() - 20));
        close(descriptor);
    });
    holding.get_future().wait();
    tick();
    other.join();
    EXPECT_EQ(contents(), header + row + row);
}

// A numeric locale in force for as long as it lives, made by localedef in a folder of the test's;
// the locale and LOCPATH are put back whatever the test's assertions do.
class NumericLocale {
public:
    NumericLocale(const fs::path &folder, const std::string &definition)
        : previous_(std::setlocale(LC_NUMERIC, nullptr))
    {
        const fs::path source = folder / "numeric.src";
        std::ofstream(source) << definition;
        const std::string make = "localedef -c -i " + source.string() +
                                 " -f /usr/share/i18n/charmaps/ANSI_X3.4-1968.gz " + (folder / "numeric").string() +
                                 " >/dev/null 2>&1";
        std::system(make.c_str());
        setenv("LOCPATH", folder.c_str(), 1);
        in_force_ = std::setlocale(LC_NUMERIC, "numeric") != nullptr;
    }
    ~NumericLocale()
    {
        std::setlocale(LC_NUMERIC, previous_.c_str());
        unsetenv("LOCPATH");
    }
    NumericLocale(const NumericLocale &) = delete;
    NumericLocale &operator=(const NumericLocale &) = delete;

    bool in_force() const { return in_force_; }

private:
    std::string previous_;
    bool in_force_ = false;
};

TEST_F(SampleLogTest, NumbersKeepTheirDecimalPointUnderACommaLocale)
{
    const NumericLocale comma(folder, "LC_CTYPE\ncopy \"POSIX\"\nEND LC_CTYPE\n"
                                      "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3\n"
                                      "END LC_NUMERIC\n");
    if (!comma.in_force())
        GTEST_SKIP() << "localedef (Debian's locales package) could not make a comma-decimal locale";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 24.5);
    ASSERT_STREQ(probe, "24,5") << "the locale is in force";

    ASSERT_TRUE(open_sample_log(path.wstring()));
    answer_level_value(0x054000);
    answer_error_count(256);
    answer_cycle_count(100);
    tick();
    EXPECT_EQ(rows_without_time(), "13,UHF,473000,24.1,1.57E-03,ok" + layers + "\n");
}

struct Unopenable {
    const char *name;
    fs::path path;
    std::string reason;
};

TEST_F(SampleLogTest, AFileThatCannotBeOpenedIsRefusedWithItsReason)
{
    std::ofstream(folder / "plain") << "x";
    const Unopenable cases[] = {
        {"missing folder", folder / "missing" / "levels.csv", "its folder does not exist"},
        {"a folder", folder, "it is a folder"},
        {"through a file", folder / "plain" / "levels.csv", "a part of its path is not a folder"},
    };
    for (const Unopenable &c : cases) {
        bool opened = true;
        const Captured captured = capture([&] { opened = open_sample_log(c.path.wstring()); });
        EXPECT_FALSE(opened) << c.name;
        EXPECT_EQ(captured.err, "quorvex: cannot open the log " + c.path.string() + ": " + c.reason + "\n");
        EXPECT_EQ(captured.out, "");
        EXPECT_EQ(tick(), "") << "no log, no row";
    }
}

TEST_F(SampleLogTest, ANameThatIsNotUtf8IsOpenedAndReportedByItsOwnBytes)
{
    const std::string bytes = folder.string() + "/levels-\xFF.csv";
    const std::wstring wide = folder.wstring() + L"/levels-\xDCFF.csv";
    answer_level_value(0x540000);
    answer_error_count(0);
    answer_cycle_count(1);
    ASSERT_TRUE(open_sample_log(wide));
    tick();
    close_sample_log();
    std::ifstream file(bytes, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), header + "2026-12-07T22:16:05+09:00,13,UHF,473000,0.0,0.00E+00,ok" + layers + "\n");

    const std::wstring missing = folder.wstring() + L"/\xDCFE/levels.csv";
    const Captured captured = capture([&] { open_sample_log(missing); });
    EXPECT_EQ(captured.err,
              "quorvex: cannot open the log " + folder.string() + "/\xFE/levels.csv: its folder does not exist\n");
}

TEST_F(SampleLogTest, AFullDiskGivesOneLineAndSamplingGoesOn)
{
    std::string err = capture([] { ASSERT_TRUE(open_sample_log(L"/dev/full")); }).err;
    std::string out;
    for (int i = 0; i < 3; ++i) {
        const Captured captured = capture([] { write_sample_log_row(record_sample()); });
        err += captured.err;
        out += captured.out;
    }
    EXPECT_EQ(err, "quorvex: cannot write to the log /dev/full; rows are lost until it can be written again\n");
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3) << "the console line is unaffected";
}

// The kernel's file size limit makes a real partial write: the first bytes of the row land, the
// rest fails. SIGXFSZ would end the process, so it is ignored meanwhile.
class SizeLimit {
public:
    explicit SizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previous_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~SizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous_handler);
    }
    SizeLimit(const SizeLimit &) = delete;
    SizeLimit &operator=(const SizeLimit &) = delete;

private:
    rlimit saved{};
    void (*previous_handler)(int) = nullptr;
};

TEST_F(SampleLogTest, APartlyWrittenRowIsCutAwayAndEachRunOfFailuresIsReportedOnce)
{
    answer_level_value(0x054000);
    answer_error_count(256);
    answer_cycle_count(100);
    const std::string row = "2026-12-07T22:16:05+09:00,13,UHF,473000,24.1,1.57E-03,ok" + layers + "\n";
    ASSERT_TRUE(open_sample_log(path.wstring()));
    std::string err = tick();
    const std::string line =
        "quorvex: cannot write to the log " + path.string() + "; rows are lost until it can be written again\n";
    {
        const SizeLimit limit(header.size() + row.size() + 20);
        err += tick();
        EXPECT_EQ(contents(), header + row) << "the part written is gone";
        err += tick();
    }
    EXPECT_EQ(err, line) << "one line for the run of failures";
    err += tick();
    {
        const SizeLimit limit(header.size() + 2 * row.size() + 20);
        err += tick();
    }
    err += tick();
    EXPECT_EQ(err, line + line) << "a second run of failures, a second line";
    EXPECT_EQ(contents(), header + row + row + row);
}

} // namespace
