// The settings strip: interval, channel and band, corrected when an edit loses the focus, and
// put in force by Apply.
#include <cwchar>
#include <cwctype>
#include <initializer_list>

#include "display/display.h"
#include "tuner/tuner.h"

static HWND interval_edit = nullptr;
static HWND channel_edit = nullptr;
static HWND catv_check = nullptr;
static HWND apply_button = nullptr;
// Made once and kept until the process ends, as the controls use it for as long as they live.
static HFONT control_font = nullptr;

static const DWORD edit_style = WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_RIGHT;
// What an edit takes from the user, a paste cut to it: far more than any entry needs, and so
// little that Windows' edit, which trims a paste to the box's width a character at a time (a time
// that grows with the square of the length), answers at once.
static const WPARAM edit_text_limit = 64;

static HWND create_control(HWND parent, const WCHAR *window_class, const WCHAR *text, DWORD style, int x, int y,
                           int width, int height)
{
    return CreateWindowExW(0, window_class, text, style, x, y, width, height, parent, nullptr, nullptr, nullptr);
}

// The controls start out saying what the pending settings hold: the defaults, or the command
// line's.
void create_controls(HWND parent)
{
    WCHAR interval_text[16];
    WCHAR channel_text[16];
    swprintf(interval_text, 16, L"%d", pending_settings.interval_s);
    swprintf(channel_text, 16, L"%d", pending_settings.channel);
    interval_edit = create_control(parent, L"EDIT", interval_text, edit_style, 77, 154, 15, 12);
    channel_edit = create_control(parent, L"EDIT", channel_text, edit_style, 145, 154, 15, 12);
    for (HWND edit : {interval_edit, channel_edit})
        SendMessageW(edit, EM_SETLIMITTEXT, edit_text_limit, 0);
    catv_check = create_control(parent, L"BUTTON", L"CATV", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 175, 153, 45, 15);
    if (is_cable(pending_settings.catv))
        SendMessageW(catv_check, BM_SETCHECK, BST_CHECKED, 0);
    apply_button = create_control(parent, L"BUTTON", L"Apply", WS_CHILD | WS_VISIBLE, 250, 150, 60, 19);
    if (control_font == nullptr)
        control_font = CreateFontW(12, 0, 0, 0, 400, FALSE, FALSE, FALSE, 128, 0, 0, 2, 0x31, L"MS Gothic UI");
    for (HWND control : {interval_edit, channel_edit, catv_check, apply_button})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(control_font), 0);
}

// Like _wtoi (leading white space, a sign, digits up to the first non-digit, 0 for none), but
// saturating: a pasted run of digits too long for an int clamps instead of overflowing.
int read_edit_number(HWND edit)
{
    WCHAR text[16] = {};
    SendMessageW(edit, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(text));
    const WCHAR *c = text;
    while (iswspace(*c))
        ++c;
    const bool negative = *c == L'-';
    if (*c == L'-' || *c == L'+')
        ++c;
    const int limit = 1000000; // far beyond every range, so clamping at it changes no correction
    int value = 0;
    for (; *c >= L'0' && *c <= L'9'; ++c)
        value = value >= limit ? limit : value * 10 + (*c - L'0');
    return negative ? -value : value;
}

// Keeps v within [low, high]; a value outside is replaced in the edit by the bound it took.
static int correct(HWND edit, int v, int low, int high)
{
    const int corrected = v < low ? low : (v > high ? high : v);
    if (corrected != v) {
        WCHAR text[16];
        swprintf(text, 16, L"%d", corrected);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    return corrected;
}

static void reread_band()
{
    if (SendMessageW(catv_check, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        pending_settings.catv = 1;
        return;
    }
    pending_settings.catv = 0;
    if (pending_settings.channel == 63) {
        pending_settings.channel = 62;
        SendMessageW(channel_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"62"));
    }
}

void show_applied_channel()
{
    pending_settings.channel = applied_settings.channel;
    pending_settings.catv = applied_settings.catv;
    WCHAR text[16];
    swprintf(text, 16, L"%d", pending_settings.channel);
    SendMessageW(channel_edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(catv_check, BM_SETCHECK, is_cable(pending_settings.catv) ? BST_CHECKED : BST_UNCHECKED, 0);
}

static void apply(HWND hwnd)
{
    const TuneSettings &p = pending_settings;
    const TuneSettings &a = applied_settings;
    // A frequency on neither plan, which another program tuned, is no applied channel.
    const bool retune = p.channel != a.channel || p.catv != a.catv || reception.off_plan;
    if (p.interval_s == a.interval_s && !retune)
        return;
    disarm_sample_timer(hwnd);
    if (retune && tune_channel(p.channel, p.catv) != 0) {
        int frequency_khz = 0;
        if (!watching_tuner(frequency_khz)) {
            report_failure(hwnd, init_failure_text);
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
            return;
        }
        // Another program still holds the tuner: nothing was tuned, and the program goes on
        // watching; only the interval takes effect.
        MessageBoxW(hwnd, watch_only_text, watch_only_caption, MB_OK);
        show_applied_channel();
    }
    if (!arm_sample_timer(hwnd, p.interval_s))
        return;
    applied_settings = pending_settings;
    if (follow_watched_tuner())
        show_applied_channel();
    InvalidateRect(hwnd, nullptr, FALSE);
}

void on_settings_command(HWND hwnd, UINT code, HWND control)
{
    if (code == EN_KILLFOCUS && control == interval_edit)
        pending_settings.interval_s = correct(interval_edit, read_edit_number(interval_edit), 1, 60);
    else if (code == EN_KILLFOCUS && control == channel_edit)
        pending_settings.channel = correct(channel_edit, read_edit_number(channel_edit), lowest_channel,
                                           highest_channel(pending_settings.catv));
    else if (code == BN_CLICKED && control == catv_check)
        reread_band();
    else if (code == BN_CLICKED && control == apply_button)
        apply(hwnd);
}
