// The sample log: one CSV row per tick, with the local time, for a spreadsheet or a plot of a
// night's reception. Each row goes out whole in one write, under a lock on the file, so any number
// of instances append whole rows under one header, a crash or a pulled plug loses at most the row
// being written, and a row that could only be written in part is cut away again. Nothing about
// the log may stop the monitor: a file that cannot be written, a full disk, a pipe whose reader
// has gone, all lose rows with one line on standard error, and the sampling goes on.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <string>

#include "display/display.h"

const WCHAR *const log_failure_text = L"ログファイルを開けません！終了します\n";

static int log_descriptor = -1;
static std::wstring log_name;
// While rows cannot be written, one line on standard error says so, not one per tick.
static bool log_failing = false;
// Where the file must be cut back to before anything more goes in: the start of a row that was
// written only in part and could not be cut away at once. -1 when the file ends with a whole row.
static long long torn_from = -1;

// The sample's columns, then for each of ISDB-T's layers A to C what it carries and how it fares.
static const std::string sample_header = "time,channel,band,frequency_khz,level_db,error_ratio,state";
static const std::string header =
    sample_header +
    ",layer_a_modulation,layer_a_code_rate,layer_a_segments,layer_a_cnr_db,layer_a_margin_db,layer_a_verdict"
    ",layer_b_modulation,layer_b_code_rate,layer_b_segments,layer_b_cnr_db,layer_b_margin_db,layer_b_verdict"
    ",layer_c_modulation,layer_c_code_rate,layer_c_segments,layer_c_cnr_db,layer_c_margin_db,layer_c_verdict\n";
// A log begun before the layers' columns goes on in its own columns, under its one header.
static bool layer_columns = true;

// The reasons in fixed words, the same under every locale; the line on standard error translates
// them, the failure box shows them as they are.
static const char *open_failure_reason(int error, const std::wstring &path)
{
    switch (error) {
    case ENOENT: return for_translation("its folder does not exist"); // appending creates the file itself
    case ENOTDIR: return for_translation("a part of its path is not a folder");
    case EISDIR: return for_translation("it is a folder");
    case EACCES:
    case EPERM: {
        // Windows refuses a folder as it refuses a file the user may not write.
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                   ? for_translation("it is a folder")
                   : for_translation("permission denied");
    }
    case ENXIO: return for_translation("it is a pipe that nothing reads");
    case EROFS: return for_translation("read-only file system");
    case ENOSPC: return for_translation("no space left on the device");
    case ENAMETOOLONG: return for_translation("the name is too long");
    default: return for_translation("it cannot be opened for appending");
    }
}

// Instances sharing the file take turns at its end. A lock that something else holds for longer
// than a moment is not waited for: the rows still go out whole, and the window never waits on it.
static bool lock_log()
{
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(log_descriptor));
    for (int attempt = 0; attempt < 20; ++attempt) {
        OVERLAPPED whole = {};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole))
            return true;
        Sleep(5);
    }
    return false;
}

static void unlock_log()
{
    OVERLAPPED whole = {};
    UnlockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(log_descriptor)), 0, MAXDWORD, MAXDWORD, &whole);
}

static bool write_all(const std::string &bytes)
{
    return _write(log_descriptor, bytes.data(), static_cast<unsigned>(bytes.size())) == static_cast<int>(bytes.size());
}

static std::string sample_row(const SampleRecord &record);

// Appends the record's row (none for a null record) at the end of the file, the header first when
// the file is empty (new, emptied by hand, or truncated by a log rotation) or, for a pipe, when it
// is just opened. True when all went out whole.
static bool append_row(const SampleRecord *record, bool opening)
{
    const bool locked = lock_log();
    if (torn_from >= 0 && _chsize_s(log_descriptor, torn_from) == 0)
        torn_from = -1;
    bool whole = false;
    if (torn_from < 0) {
        const long long end = _lseeki64(log_descriptor, 0, SEEK_END); // -1 for a pipe
        const bool headed = end == 0 || (end < 0 && opening);
        if (headed)
            layer_columns = true;
        // In the file's columns, which a header written now makes the layers'.
        const auto row = [record] { return record != nullptr ? sample_row(*record) : std::string(); };
        const std::string bytes = headed ? header + row() : row();
        whole = bytes.empty() || write_all(bytes);
        if (whole && !headed && end > 0 &&
            _lseeki64(log_descriptor, 0, SEEK_CUR) == static_cast<long long>(bytes.size())) {
            // Emptied by a rotation between the look at its end and the write: the row went in
            // first, so it goes in again behind the header, in the header's columns.
            layer_columns = true;
            whole = _chsize_s(log_descriptor, 0) == 0 && write_all(header + row());
        } else if (!whole && end >= 0 && _chsize_s(log_descriptor, end) != 0) {
            torn_from = end;
        }
    }
    if (locked)
        unlock_log();
    return whole;
}

static void report_unwritable()
{
    if (!log_failing)
        std::fprintf(stderr,
                     translated("quorvex: cannot write to the log %s; rows are lost until it can be written again\n"),
                     narrow_text(log_name).c_str());
    log_failing = true;
}

static int open_for_appending(const std::wstring &path)
{
    return _wsopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
}

// Whether the log just opened is new or has the layers' columns: anything but a file that begins
// with the header of the sample's columns alone. A pipe is new.
static bool has_layer_columns(const std::wstring &path)
{
    if (_lseeki64(log_descriptor, 0, SEEK_END) <= 0)
        return true;
    const int file = _wsopen(path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO, 0);
    if (file < 0)
        return true;
    const std::string short_header = sample_header + '\n';
    std::string first(short_header.size(), '\0');
    const int got = _read(file, first.data(), static_cast<unsigned>(first.size()));
    _close(file);
    return got != static_cast<int>(first.size()) || first != short_header;
}

// A log moved aside by a rotation, or deleted, leaves the name free: a new log is started under it,
// with its header, and the rows go on there. Until one can be made they go on into the old file,
// so no row is lost either way.
static void follow_the_name()
{
    struct _stat64 named {};
    struct _stat64 opened {};
    if (_fstat64(log_descriptor, &opened) != 0 ||
        (_wstat64(log_name.c_str(), &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino))
        return;
    const int renewed = open_for_appending(log_name);
    if (renewed < 0)
        return;
    _close(log_descriptor);
    log_descriptor = renewed;
    torn_from = -1;
    layer_columns = has_layer_columns(log_name);
}

bool open_sample_log(const std::wstring &path, std::wstring *reason)
{
    close_sample_log();
    errno = 0;
    log_descriptor = open_for_appending(path);
    if (log_descriptor < 0) {
        const std::string why = open_failure_reason(errno, path);
        std::fprintf(stderr, translated("quorvex: cannot open the log %s: %s\n"), narrow_text(path).c_str(),
                     translated(why.c_str()));
        if (reason != nullptr)
            *reason = std::wstring(why.begin(), why.end());
        return false;
    }
    log_name = path;
    log_failing = false;
    torn_from = -1;
    layer_columns = has_layer_columns(path);
    // A run stopped before its first sample still leaves a file a spreadsheet reads.
    if (!append_row(nullptr, true))
        report_unwritable();
    return true;
}

void close_sample_log()
{
    if (log_descriptor >= 0)
        _close(log_descriptor);
    log_descriptor = -1;
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
// calendar (the C runtime's %z is not an offset everywhere). A local time whose offset is not a
// whole number of minutes has no such form: it is written in UTC, with Z.
static void append_time(std::string &row, std::time_t when)
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
    const long offset_s =
        ((days * 24L + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min) * 60 + local.tm_sec - utc.tm_sec;
    const std::tm &shown = offset_s % 60 == 0 ? local : utc;
    append_integer(row, shown.tm_year + 1900L, 4);
    row += '-';
    append_integer(row, shown.tm_mon + 1, 2);
    row += '-';
    append_integer(row, shown.tm_mday, 2);
    row += 'T';
    append_integer(row, shown.tm_hour, 2);
    row += ':';
    append_integer(row, shown.tm_min, 2);
    row += ':';
    append_integer(row, shown.tm_sec, 2);
    if (offset_s % 60 != 0) {
        row += 'Z';
        return;
    }
    const long offset = offset_s / 60;
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

// Each layer's modulation, code rate, segments, C/N, margin and verdict. A layer the driver does
// not describe has only the C/N it may give; an unused one nothing.
static void append_layers(std::string &row, const ReceiverFigures &receiver)
{
    for (int layer = 0; layer < isdbt_layers; ++layer) {
        const LayerReport &report = receiver.layers[layer];
        const bool described = receiver.layers_known && report.in_use;
        const Measure &cnr = receiver.carrier_to_noise_db[part_layer_a + layer];
        row += ',';
        if (described && report.modulation != nullptr)
            row += report.modulation;
        row += ',';
        if (described && report.code_rate != nullptr)
            row += report.code_rate;
        row += ',';
        if (described)
            append_integer(row, report.segments, 1);
        row += ',';
        if (cnr.given && (described || !receiver.layers_known))
            append_decimal(row, cnr.value, std::chars_format::fixed, 1);
        row += ',';
        if (described && report.margin_db.given)
            append_decimal(row, report.margin_db.value, std::chars_format::fixed, 1);
        row += ',';
        if (described)
            row += layer_verdict_word(report.verdict);
    }
}

static std::string sample_row(const SampleRecord &record)
{
    std::string row;
    append_time(row, record.time);
    row += ',';
    // Off both plans there is no channel to name: the frequency alone says what was received.
    if (!record.off_plan) {
        append_integer(row, record.channel, 1);
        row += is_cable(record.catv) ? ",CATV," : ",UHF,";
    } else {
        row += ",,";
    }
    append_integer(row, record.frequency_khz, 1);
    row += ',';
    if (record.sample.level == reading_value)
        append_decimal(row, record.sample.level_db, std::chars_format::fixed, 1);
    row += ',';
    if (record.sample.ratio == reading_value)
        append_decimal(row, record.sample.error_ratio, std::chars_format::scientific, 2);
    row += ',';
    row += sample_state_word(record.state);
    if (layer_columns)
        append_layers(row, record.receiver);
    row += '\n';
    return row;
}

void write_sample_log_row(const SampleRecord &record)
{
    if (log_descriptor < 0)
        return;
    follow_the_name();
    if (append_row(&record, false))
        log_failing = false;
    else
        report_unwritable();
}
