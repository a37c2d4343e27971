// Edit text as a user can type or paste it (any characters, any length), through the corrections,
// the band box and Apply. Whatever arrives, both copies of the settings stay in range and an edit
// shows either what was entered or the bound its value was corrected to.
//
// Input: a sequence of actions, each one byte naming it, then for texts a length byte and that
// many UTF-16 code units.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "display/display.h"
#include "platform/qtwindow/application.h"
#include "platform/tuning/model/test_world.h"
#include "support/window_hooks.h"

namespace {

HWND window;
HWND edits[2]; // interval, channel
HWND catv_check;
HWND apply_button;

void start_once()
{
    if (window != nullptr)
        return;
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        std::abort();
    qtwindow::start_application();
    qtwindow::use_virtual_clock(true);
    qtwindow::intercept_message_boxes();
    tuning::reset();
    window = create_main_window(reinterpret_cast<HINSTANCE>(0x400000), SW_SHOWNORMAL);
    const auto controls = qtwindow::children_of(window);
    if (window == nullptr || controls.size() != 4)
        std::abort();
    edits[0] = controls[0];
    edits[1] = controls[1];
    catv_check = controls[2];
    apply_button = controls[3];
}

std::wstring text_of(HWND edit, int limit = 64)
{
    std::wstring text(static_cast<size_t>(limit), L'\0');
    SendMessageW(edit, WM_GETTEXT, static_cast<WPARAM>(limit), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::wcslen(text.c_str()));
    return text;
}

void require(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

void require_in_range(const TuneSettings &s)
{
    require(s.interval_s >= 1 && s.interval_s <= 60, "interval in 1..60");
    require(s.catv == 0 || s.catv == 1, "band flag 0 or 1");
    require(s.channel >= 13 && s.channel <= (s.catv == 1 ? 63 : 62), "channel in its band's range");
}

// What the program should make of the text: the leading decimal number of its first 15
// characters, as the C library reads one, clamped into [low, high].
long long expected_value(const std::wstring &text, long long low, long long high)
{
    const std::wstring read = text.substr(0, 15);
    const long long v = std::wcstoll(read.c_str(), nullptr, 10);
    return v < low ? low : (v > high ? high : v);
}

void leave_edit(int which)
{
    HWND edit = edits[which];
    const std::wstring before = text_of(edit);
    const int high = which == 0 ? 60 : (pending_settings.catv == 1 ? 63 : 62);
    const long long expected = expected_value(before, which == 0 ? 1 : 13, high);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(0, EN_KILLFOCUS), reinterpret_cast<LPARAM>(edit));
    const int value = which == 0 ? pending_settings.interval_s : pending_settings.channel;
    require(value == expected, "the corrected value");
    const std::wstring after = text_of(edit);
    require(after == before || after == std::to_wstring(value), "the edit shows the entry or the corrected value");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    start_once();
    tuning::clear_calls(); // the log would otherwise grow with every input
    for (std::size_t at = 0; at < size;) {
        const std::uint8_t action = data[at++] % 6;
        if (action <= 1) { // text arrives in an edit, typed or pasted
            const std::size_t length = at < size ? data[at++] : 0;
            std::wstring text;
            for (std::size_t i = 0; i < length && at + 1 < size; ++i, at += 2)
                text += static_cast<wchar_t>(data[at] | data[at + 1] << 8);
            SendMessageW(edits[action], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (action <= 3) {
            leave_edit(action - 2);
        } else if (action == 4) {
            qtwindow::click(catv_check);
            qtwindow::pump_messages();
        } else {
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(apply_button));
            require(applied_settings.interval_s == pending_settings.interval_s &&
                        applied_settings.channel == pending_settings.channel &&
                        applied_settings.catv == pending_settings.catv,
                    "Apply puts the pending settings in force");
        }
        require_in_range(pending_settings);
        require_in_range(applied_settings);
    }
    return 0;
}
