// The sample log: one CSV row per tick, with the local time, for a spreadsheet or a plot of a
// night's reception. Rows go out whole and unbuffered, so a crash or a pulled plug loses at most
// the row being written, and a row that could only be written in part is cut away again.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <string>

#include "display/display.h"

const WCHAR *const log_failure_text = L"ログファイルを開けません！終了します\n";

static std::FILE *log_file = nullptr;
static std::wstring log_name;
// While rows cannot be written, one line on standard error says so, not one per tick.
static bool log_failing = false;
// Where the file must be cut back to before anything more goes in: the start of a row that was
// written only in part and could not be cut away at once. -1 when the file ends with a whole row.
static long long torn_from = -1;

static const char header[] = "time,channel,band,frequency_khz,level_db,error_ratio,state\n";

// The reasons in fixed words, the same under every locale.
static const char *open_failure_reason(int error)
{
    switch (error) {
    case ENOENT: return "its folder does not exist"; // appending creates the file itself
    case ENOTDIR: return "a part of its path is not a folder";
    case EISDIR: return "it is a folder";
    case EACCES:
    case EPERM: return "permission denied";
    case EROFS: return "read-only file system";
    case ENOSPC: return "no space left on the device";
    case ENAMETOOLONG: return "the name is too long";
    default: return "it cannot be opened for appending";
    }
}

bool open_sample_log(const std::wstring &path)
{
    close_sample_log();
    errno = 0;
    log_file = _wfopen(path.c_str(), L"ab");
    if (log_file == nullptr) {
        std::fprintf(stderr, "quorvex: cannot open the log %s: %s\n", narrow_text(path).c_str(),
                     open_failure_reason(errno));
        return false;
    }
    std::setvbuf(log_file, nullptr, _IONBF, 0);
    log_name = path;
    log_failing = false;
    torn_from = -1;
    return true;
}

void close_sample_log()
{
    if (log_file != nullptr)
        std::fclose(log_file);
    log_file = nullptr;
}

// Numbers through to_chars, which knows no locale: a decimal point whatever the user's settings.
static void append_integer(std::string &row, long value, int digits)
{
    char text[24];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value < 0 ? -value : value);
    if (value < 0)
        row += '-';
    row.append(static_cast<std::size_t>(digits > end.ptr - text ? digits - (end.ptr - text) : 0), '0');
    row.append(text, end.ptr);
}

// ISO 8601 with seconds and the offset from UTC, found by comparing the local and the UTC
// calendar (the C runtime's %z is not an offset everywhere).
static void append_local_time(std::string &row, std::time_t when)
{
    const std::tm *converted = std::localtime(&when);
    if (converted == nullptr)
        return;
    const std::tm local = *converted;
    converted = std::gmtime(&when);
    if (converted == nullptr)
        return;
    const std::tm utc = *converted;
    const int days =
        local.tm_year != utc.tm_year ? (local.tm_year > utc.tm_year ? 1 : -1) : local.tm_yday - utc.tm_yday;
    const long offset = (days * 24L + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
    append_integer(row, local.tm_year + 1900L, 4);
    row += '-';
    append_integer(row, local.tm_mon + 1, 2);
    row += '-';
    append_integer(row, local.tm_mday, 2);
    row += 'T';
    append_integer(row, local.tm_hour, 2);
    row += ':';
    append_integer(row, local.tm_min, 2);
    row += ':';
    append_integer(row, local.tm_sec, 2);
    row += offset < 0 ? '-' : '+';
    append_integer(row, (offset < 0 ? -offset : offset) / 60, 2);
    row += ':';
    append_integer(row, (offset < 0 ? -offset : offset) % 60, 2);
}

static void append_decimal(std::string &row, double value, std::chars_format format, int precision)
{
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value, format, precision);
    for (const char *c = text; c != end.ptr; ++c)
        row += *c == 'e' ? 'E' : *c;
}

static const char *const state_words[] = {"ok", "no-level", "no-ratio", "ratio-failed", "failed"};

static std::string sample_row(const SampleRecord &record)
{
    std::string row;
    append_local_time(row, record.time);
    row += ',';
    append_integer(row, record.settings.channel, 1);
    row += is_cable(record.settings.catv) ? ",CATV," : ",UHF,";
    append_integer(row, channel_frequency_khz(record.settings.channel, record.settings.catv), 1);
    row += ',';
    if (record.sample.level == reading_value)
        append_decimal(row, record.sample.level_db, std::chars_format::fixed, 1);
    row += ',';
    if (record.sample.ratio == reading_value)
        append_decimal(row, record.sample.error_ratio, std::chars_format::scientific, 2);
    row += ',';
    row += state_words[record.state];
    row += '\n';
    return row;
}

void write_sample_log_row(const SampleRecord &record)
{
    if (log_file == nullptr)
        return;
    if (torn_from >= 0 && _chsize_s(_fileno(log_file), torn_from) == 0)
        torn_from = -1;
    if (torn_from < 0) {
        // The end of the file is the last row's end: a failed write is cut back to it, and an empty
        // file (new, or emptied meanwhile) gets the header first.
        _fseeki64(log_file, 0, SEEK_END);
        const long long boundary = _ftelli64(log_file);
        std::string rows = boundary == 0 ? header : "";
        rows += sample_row(record);
        if (std::fwrite(rows.data(), 1, rows.size(), log_file) == rows.size() && std::fflush(log_file) == 0) {
            log_failing = false;
            return;
        }
        std::clearerr(log_file);
        if (boundary >= 0 && _chsize_s(_fileno(log_file), boundary) != 0)
            torn_from = boundary;
    }
    if (!log_failing)
        std::fprintf(stderr, "quorvex: cannot write to the log %s; rows are lost until it can be written again\n",
                     narrow_text(log_name).c_str());
    log_failing = true;
}
