// The command line's options: what each one starts the monitor with, and the one line that says
// what is wrong with a bad one.
#include <gtest/gtest.h>

#include <string>

#include "display/display.h"

namespace {

struct Accepted {
    const wchar_t *line;
    StartAction action;
    TuneSettings settings;
    const wchar_t *log_file;
    bool watch = false;
    const wchar_t *metrics_address = L"";
    bool align = false;
};

TEST(StartOptionsTest, EveryOptionSetsWhatItNames)
{
    const Accepted table[] = {
        {L"", start_monitor, {1, 13, 0}, L""},
        {L"   ", start_monitor, {1, 13, 0}, L""},
        {L"--channel 27", start_monitor, {1, 27, 0}, L""},
        {L"--channel=27", start_monitor, {1, 27, 0}, L""},
        {L"--channel 62", start_monitor, {1, 62, 0}, L""},
        {L"--channel 013", start_monitor, {1, 13, 0}, L""},
        {L"--catv", start_monitor, {1, 13, 1}, L""},
        {L"--catv --channel 63", start_monitor, {1, 63, 1}, L""},
        {L"--channel 63 --catv", start_monitor, {1, 63, 1}, L""},
        {L"--interval 1", start_monitor, {1, 13, 0}, L""},
        {L"--interval=60", start_monitor, {60, 13, 0}, L""},
        {L"--log levels.csv", start_monitor, {1, 13, 0}, L"levels.csv"},
        {L"--log=levels.csv", start_monitor, {1, 13, 0}, L"levels.csv"},
        {L"--log \"C:\\My Logs\\levels.csv\"", start_monitor, {1, 13, 0}, L"C:\\My Logs\\levels.csv"},
        {L"--log=a=b.csv", start_monitor, {1, 13, 0}, L"a=b.csv"},
        {L"--log -", start_monitor, {1, 13, 0}, L"-"},
        {L"--log 日本語.csv", start_monitor, {1, 13, 0}, L"日本語.csv"},
        {L"--interval 10 --log x.csv --channel 24 --catv", start_monitor, {10, 24, 1}, L"x.csv"},
        {L"--watch --channel 24", start_monitor, {1, 24, 0}, L"", true},
        {L"--align", start_monitor, {1, 13, 0}, L"", false, L"", true},
        {L"--interval 10 --align --channel 24", start_monitor, {10, 24, 0}, L"", false, L"", true},
        {L"--align --catv", start_monitor, {1, 13, 1}, L"", false, L"", true},
        {L"--help", show_help, {1, 13, 0}, L""},
        {L"--version", show_version, {1, 13, 0}, L""},
        {L"--channel 27 --help", show_help, {1, 27, 0}, L""},
        {L"--version --help", show_help, {1, 13, 0}, L""},
        {L"--list", list_receivers, {1, 13, 0}, L""},
        {L"--list --help", show_help, {1, 13, 0}, L""},
        {L"--metrics 19110", start_monitor, {1, 13, 0}, L"", false, L"19110"},
        {L"--metrics=0.0.0.0:9", start_monitor, {1, 13, 0}, L"", false, L"0.0.0.0:9"},
        {L"--metrics [::1]:65535", start_monitor, {1, 13, 0}, L"", false, L"[::1]:65535"},
    };
    for (const Accepted &row : table) {
        const StartOptions options = parse_command_line(row.line);
        const std::wstring line = row.line;
        EXPECT_EQ(options.action, row.action) << std::string(line.begin(), line.end());
        EXPECT_EQ(options.settings.interval_s, row.settings.interval_s) << std::string(line.begin(), line.end());
        EXPECT_EQ(options.settings.channel, row.settings.channel) << std::string(line.begin(), line.end());
        EXPECT_EQ(options.settings.catv, row.settings.catv) << std::string(line.begin(), line.end());
        EXPECT_TRUE(options.log_file == row.log_file) << std::string(line.begin(), line.end());
        EXPECT_TRUE(options.metrics_address == row.metrics_address) << std::string(line.begin(), line.end());
        EXPECT_EQ(options.watch, row.watch) << std::string(line.begin(), line.end());
        EXPECT_EQ(options.align, row.align) << std::string(line.begin(), line.end());
        EXPECT_TRUE(options.problem.empty());
    }
}

struct Refused {
    const wchar_t *line;
    std::wstring problem;
};

TEST(StartOptionsTest, EveryBadFormIsOneLineSayingWhatIsWrong)
{
    const std::wstring not_an_address = L": not an address to serve at; use PORT, or ADDRESS:PORT with an IPv4 "
                                        L"address or an IPv6 address in brackets, PORT from 1 to 65535, or systemd";
    const Refused table[] = {
        {L"--metrics 0", L"--metrics 0" + not_an_address},
        {L"--metrics 65536", L"--metrics 65536" + not_an_address},
        {L"--metrics localhost:9100", L"--metrics localhost:9100" + not_an_address},
        {L"--metrics ::1:9100", L"--metrics ::1:9100" + not_an_address},
        {L"--metrics [::1]", L"--metrics [::1]" + not_an_address},
        // No service manager started the tests (LISTEN_PID).
        {L"--metrics systemd", L"--metrics systemd: the service manager handed over no listening socket"},
        {L"--metrics", L"--metrics needs a value"},
        {L"--channel 70", L"--channel 70: out of range (13 to 62, or 63 with --catv)"},
        {L"--channel 63", L"--channel 63: out of range (13 to 62, or 63 with --catv)"},
        {L"--channel 64 --catv", L"--channel 64: out of range (13 to 62, or 63 with --catv)"},
        {L"--channel 12", L"--channel 12: out of range (13 to 62, or 63 with --catv)"},
        {L"--channel 0", L"--channel 0: out of range (13 to 62, or 63 with --catv)"},
        {L"--channel 99999999999999999999",
         L"--channel 99999999999999999999: out of range (13 to 62, or 63 with --catv)"},
        {L"--channel", L"--channel needs a value"},
        {L"--channel=", L"--channel needs a value"},
        {L"--channel --catv", L"--channel needs a value"},
        {L"--channel abc", L"--channel abc: not a number"},
        {L"--channel 4294967309", L"--channel 4294967309: out of range (13 to 62, or 63 with --catv)"}, // 13 + 2^32
        {L"--interval 4294967297", L"--interval 4294967297: out of range (1 to 60)"},                   // 1 + 2^32
        {L"--channel -13", L"--channel -13: out of range (13 to 62, or 63 with --catv)"},
        {L"--interval=-5", L"--interval -5: out of range (1 to 60)"},
        {L"--channel -", L"--channel -: not a number"},
        {L"--channel --13", L"--channel needs a value"},
        {L"--channel +20", L"--channel +20: not a number"},
        {L"--channel 2O", L"--channel 2O: not a number"},
        {L"--channel \" 20\"", L"--channel  20: not a number"},
        {L"--channel 20 --channel 21", L"--channel given twice"},
        {L"--interval 0", L"--interval 0: out of range (1 to 60)"},
        {L"--interval 61", L"--interval 61: out of range (1 to 60)"},
        {L"--interval 1.5", L"--interval 1.5: not a number"},
        {L"--interval", L"--interval needs a value"},
        {L"--log", L"--log needs a value"},
        {L"--log \"\"", L"--log needs a value"},
        {L"--log --catv", L"--log needs a value"},
        {L"--log a.csv --log b.csv", L"--log given twice"},
        {L"--catv --catv", L"--catv given twice"},
        {L"--catv=1", L"--catv takes no value"},
        {L"--align --align", L"--align given twice"},
        {L"--align=on", L"--align takes no value"},
        {L"--help=all", L"--help takes no value"},
        {L"--version=2", L"--version takes no value"},
        {L"--watch=yes", L"--watch takes no value"},
        {L"--list=all", L"--list takes no value"},
        {L"--device", L"--device needs a value"},
        {L"--device /dev/px4video2 --device /dev/px4video3", L"--device given twice"},
        {L"--chanel 20", L"unknown option '--chanel'"},
        {L"--channel-27", L"unknown option '--channel-27'"},
        {L"-c 20", L"unknown option '-c'"},
        {L"-", L"unknown option '-'"},
        {L"--", L"unknown option '--'"},
        {L"/help", L"unexpected argument '/help'"},
        {L"27", L"unexpected argument '27'"},
        {L"--channel 27 28", L"unexpected argument '28'"},
        {L"\"\"", L"unexpected argument ''"},
        {L"--help --bogus", L"unknown option '--bogus'"},
    };
    for (const Refused &row : table) {
        const StartOptions options = parse_command_line(row.line);
        const std::wstring line = row.line;
        EXPECT_EQ(options.action, usage_error) << std::string(line.begin(), line.end());
        EXPECT_EQ(narrow_text(options.problem),
                  narrow_text(std::wstring(L"quorvex: ") + row.problem + L"; see quorvex --help"));
        EXPECT_EQ(options.problem.find(L'\n'), std::wstring::npos);
    }
}

} // namespace
