// Display window: the entry point and window procedure, the settings panel, the sampling timer
// with the level history, and the chart.
#pragma once

#include <ctime>
#include <initializer_list>
#include <string>

#include "platform/platform.h"
#include "tuner/tuner.h"

// The settings (TuneSettings, pending_settings, applied_settings) are declared with the tuner,
// which comes up on the pending channel; the display owns them (display/settings.cpp).

// The last 30 levels, oldest first; index 29 is the newest sample.
const int level_history_size = 30;
extern double level_history[level_history_size];

const UINT SAMPLE_TIMER_ID = 0x7FFF;

// Application shell. The entry point has C linkage, as the C runtime's start-up code calls it.
extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR command_line, int show_command);
extern WCHAR window_title[100];
extern WCHAR window_class_name[100];
ATOM register_main_class(HINSTANCE instance);
// Start-up up to the first paint; null when the window could not be created. Headless, a
// message-only window.
HWND create_main_window(HINSTANCE instance, int show_command);
// Without a window, for a service: the tick, the log and the metrics go on, from a message-only
// window; no controls, no chart, no message boxes (the failures' reasons are on standard error).
extern bool headless;
// Returns the exit code the quit message carries. Keys of the window's own go to hwnd.
int run_message_loop(HWND hwnd);
LRESULT CALLBACK main_wnd_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Shows a failure to the user; the process will end with exit code 1.
void report_failure(HWND hwnd, const WCHAR *text);
extern const WCHAR *const init_failure_text;
extern const WCHAR *const timer_failure_text;
extern const WCHAR *const watch_only_text;
extern const WCHAR *const watch_only_caption;

// Settings panel
void create_controls(HWND parent);
void on_settings_command(HWND hwnd, UINT code, HWND control);
int read_edit_number(HWND edit);
// The strip shows the applied channel and band, which the pending settings take.
void show_applied_channel();

// What the tuner receives. The applied channel, as a rule; but while the program only watches a
// tuner that another program holds, the channel that program tuned, which the applied settings
// follow, or a frequency on neither plan (off_plan, in kHz).
struct Reception {
    bool off_plan;
    int frequency_khz; // for off_plan
};
extern Reception reception;
// Asks the platform what the tuner receives; true when the applied channel or band changed.
bool follow_watched_tuner();

// Where the records' times come from (SampleRecord is in platform/sample_record.h, as the
// platform's services take it too); tests put a clock of their own here.
extern std::time_t (*sample_clock)();

// Sampling timer and level history
void reset_level_history();
// Takes the tick's sample into the history and returns its record.
SampleRecord record_sample();
// Arms the timer for the mode in force; false when it could not be, the program then closing.
bool arm_sample_timer(HWND hwnd, int interval_s);
// The pace the mode asks for, counted from the last tick: never a pause, never a tick too soon.
bool change_sample_pace(HWND hwnd, int interval_s);
void disarm_sample_timer(HWND hwnd);
void on_sample_timer(HWND hwnd);

// Chart
int draw_chart(HDC hdc, HWND hwnd);
// What the chart shows now, for the platform's live page.
WindowView window_view();

// Alignment mode, for pointing an antenna with the screen out of sight: four samples a second
// whatever the interval setting (which keeps its value for when the mode is left), the best level
// since the mode started (or was reset) held for the chart, and a tone whose pitch follows the
// level, or the weakest layer's margin where the receiver reports its layers.
extern bool alignment_on;
const UINT alignment_period_ms = 250;
// The best level, when a sample since the start or reset gave one.
extern bool peak_held;
extern double peak_level_db;
// The last sample's layers, where the receiver reports ISDB-T's (on Linux): a line each on the
// chart, and the tone follows the weakest one's margin.
extern ReceiverFigures aligned_receiver;
// The keys' commands: A turns the mode on and off, R resets the best level.
const WORD align_command = 0x0100;
const WORD reset_peak_command = 0x0101;
void on_alignment_command(HWND hwnd, WORD command);
// The tick's sample for the best level and the tone, while the mode is on.
void align_to_sample(const SampleRecord &record);

// Command line: the starting settings, a log file, or a question answered without a window.
enum StartAction { start_monitor, show_help, show_version, list_receivers, usage_error };
struct StartOptions {
    StartAction action;
    TuneSettings settings;
    std::wstring log_file;        // empty for no log
    std::wstring problem;         // for a usage error, the line that says what is wrong
    std::wstring metrics_address; // empty for no metrics
    bool watch;                   // watch the tuner without tuning it (Linux)
    bool align;                   // start in alignment mode
    bool headless;                // run without a window (Linux)
    std::wstring device;          // the receiver the user named (Linux); empty for the first found
};
StartOptions parse_command_line(const WCHAR *command_line);
extern const WCHAR *const version_text;
// A text for people from the string table (IDS_ in res/resource.h) in the user's language, with
// values in place of "%1" to "%9".
std::wstring message_text(UINT id, std::initializer_list<std::wstring> values = {});
// Help and version on standard output, a usage error on standard error; in a message box where
// the program has no console. False when the text could not be written, which it says on
// standard error.
bool tell_user(const std::wstring &text, StartAction action);

// Sample log: one CSV row per tick, appended to the file the command line names.
// Opens it for appending; false, with the reason on standard error and in reason, when it cannot
// be opened.
bool open_sample_log(const std::wstring &path, std::wstring *reason = nullptr);
// The record's row; nothing when no log is open.
void write_sample_log_row(const SampleRecord &record);
void close_sample_log();
extern const WCHAR *const log_failure_text;
extern const WCHAR *const metrics_failure_text;

// Wide text as UTF-8, for diagnostics that name a file.
std::string narrow_text(const std::wstring &text);
