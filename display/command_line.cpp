// The command line: starting settings in place of the defaults, a log file, help and version.
// Split by the shell's own rules on both platforms, with a program name put in front so that the
// first argument is never taken for one.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "display/display.h"
#include "res/resource.h"

const WCHAR *const version_text = L"quorvex 1.0.0.1";

static StartOptions refuse(const std::wstring &what)
{
    StartOptions refused{usage_error, {1, 13, 0}, {}, {}, {}, false, false, false, {}};
    refused.problem = message_text(IDS_USAGE_ERROR, {what});
    return refused;
}

// Digits, with a minus sign for a number below every range; "+5", " 5" and "5s" are refused.
// Long runs saturate far beyond every range, never wrapping into it.
static bool read_number(const std::wstring &text, int &value)
{
    const std::size_t first = text.compare(0, 1, L"-") == 0 ? 1 : 0;
    if (text.size() == first || text.find_first_not_of(L"0123456789", first) != std::wstring::npos)
        return false;
    value = 0;
    for (std::size_t i = first; i < text.size(); ++i)
        value = value >= 1000000 ? value : value * 10 + (text[i] - L'0');
    value = first == 1 ? -value : value;
    return true;
}

static bool split(const WCHAR *command_line, std::vector<std::wstring> &arguments)
{
    const std::wstring line = std::wstring(L"quorvex ") + (command_line == nullptr ? L"" : command_line);
    int count = 0;
    LPWSTR *argv = CommandLineToArgvW(line.c_str(), &count);
    if (argv == nullptr)
        return false;
    for (int i = 1; i < count; ++i)
        arguments.emplace_back(argv[i]);
    LocalFree(argv);
    return true;
}

StartOptions parse_command_line(const WCHAR *command_line)
{
    std::vector<std::wstring> arguments;
    if (!split(command_line, arguments))
        return refuse(message_text(IDS_UNREADABLE_COMMAND_LINE));
    StartOptions options{start_monitor, {1, 13, 0}, {}, {}, {}, false, false, false, {}};
    std::wstring channel_text = L"13";
    std::vector<std::wstring> seen;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring &argument = arguments[i];
        if (argument.size() < 3 || argument.compare(0, 2, L"--") != 0)
            return refuse(message_text(
                argument.empty() || argument[0] != L'-' ? IDS_UNEXPECTED_ARGUMENT : IDS_UNKNOWN_OPTION, {argument}));
        const std::size_t equals = argument.find(L'=');
        const std::wstring name = argument.substr(0, equals);
        const bool flag = name == L"--catv" || name == L"--align" || name == L"--help" || name == L"--version" ||
                          name == L"--watch" || name == L"--headless" || name == L"--list";
        if (!flag && name != L"--channel" && name != L"--interval" && name != L"--log" && name != L"--metrics" &&
            name != L"--device")
            return refuse(message_text(IDS_UNKNOWN_OPTION, {name}));
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            return refuse(message_text(IDS_GIVEN_TWICE, {name}));
        seen.push_back(name);
        if (flag) {
            if (equals != std::wstring::npos)
                return refuse(message_text(IDS_TAKES_NO_VALUE, {name}));
            if (name == L"--catv")
                options.settings.catv = 1;
            if (name == L"--watch") {
#ifdef _WIN32
                // Windows gives the tuner to one program at a time: there is nothing to watch.
                return refuse(message_text(IDS_WATCH_ON_LINUX));
#else
                options.watch = true;
#endif
            }
            if (name == L"--headless") {
#ifdef _WIN32
                // A Windows program without a window could be ended by no one but Task Manager.
                return refuse(message_text(IDS_HEADLESS_ON_LINUX));
#else
                options.headless = true;
#endif
            }
#ifdef _WIN32
            if (name == L"--list")
                return refuse(message_text(IDS_LIST_ON_LINUX));
#endif
            options.align = options.align || name == L"--align";
            continue;
        }
        // A following option is not taken for a value: "--log --catv" lacks its file.
        std::wstring value;
        if (equals != std::wstring::npos)
            value = argument.substr(equals + 1);
        else if (i + 1 < arguments.size() && arguments[i + 1].compare(0, 2, L"--") != 0)
            value = arguments[++i];
        if (value.empty())
            return refuse(message_text(IDS_NEEDS_VALUE, {name}));
        if (name == L"--log") {
            options.log_file = value;
            continue;
        }
        if (name == L"--device") {
#ifdef _WIN32
            return refuse(message_text(IDS_DEVICE_ON_LINUX));
#else
            options.device = value;
            continue;
#endif
        }
        std::wstring given = name;
        given += L' ';
        given += value;
        if (name == L"--metrics") {
#ifdef _WIN32
            return refuse(message_text(IDS_METRICS_ON_LINUX, {given}));
#else
            const std::wstring problem = metrics_address_problem(value);
            if (!problem.empty())
                return refuse(given.append(L": ").append(problem));
            options.metrics_address = value;
            continue;
#endif
        }
        int number = 0;
        if (!read_number(value, number))
            return refuse(message_text(IDS_NOT_A_NUMBER, {given}));
        if (name == L"--channel") {
            options.settings.channel = number;
            channel_text = value;
        } else if (number < 1 || number > 60) {
            return refuse(message_text(IDS_INTERVAL_RANGE, {given}));
        } else {
            options.settings.interval_s = number;
        }
    }
    // The channel's range depends on the band, which may come later on the line.
    const int channel = options.settings.channel;
    if (channel < lowest_channel || channel > highest_channel(options.settings.catv))
        return refuse(message_text(IDS_CHANNEL_RANGE, {channel_text}));
    const auto asked = [&](const wchar_t *name) { return std::find(seen.begin(), seen.end(), name) != seen.end(); };
    if (asked(L"--help"))
        options.action = show_help;
    else if (asked(L"--version"))
        options.action = show_version;
    else if (asked(L"--list"))
        options.action = list_receivers;
    return options;
}

bool tell_user(const std::wstring &text, StartAction action)
{
#ifdef _WIN32
    return MessageBoxW(nullptr, text.c_str(), L"Quorvex", action == usage_error ? MB_OK | MB_ICONERROR : MB_OK) != 0;
#else
    std::FILE *stream = action == usage_error ? stderr : stdout;
    errno = 0;
    if (std::fputs((narrow_text(text) + "\n").c_str(), stream) >= 0 && std::fflush(stream) == 0)
        return true;
    // As the GNU tools do: an answer that never arrived is a failure a calling script must see.
    if (stream == stdout) {
        if (errno == ENOSPC)
            std::fputs(translated("quorvex: cannot write to standard output: no space left on the device\n"), stderr);
        else
            std::fprintf(stderr, translated("quorvex: cannot write to standard output: error %d\n"), errno);
    }
    return false;
#endif
}
