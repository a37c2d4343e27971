// The whole client area on every repaint: scale, labels, latest value, header, chart and bars.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>

#include "display/display.h"

static const COLORREF chart_black = 0x000000;
static const COLORREF grid_colour = 0x808040;
static const COLORREF bar_colour = 0x00FF32;
// The best level in alignment mode, orange-red: apart from the bars and the grid, and legible on
// the chart's black and the window's grey.
static const COLORREF peak_colour = 0x0060FF;

// The layers' lines in alignment mode, each in the colour of its verdict: no verdict, good,
// marginal, failing.
static const COLORREF verdict_colours[] = {0xA0A0A0, 0xA0FFA0, 0x00E6FF, 0x4040FF};

// Under the chart, where alignment mode writes the best level. Once the mode has written there,
// the next repaint out of it clears the place again; a window never in the mode never touches it.
static const RECT peak_text_box = {22, 124, 300, 140};
static bool peak_text_shown = false;

static HBRUSH background_brush() { return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1)); }

static HFONT create_chart_font(int height, const WCHAR *face)
{
    return CreateFontW(height, 0, 0, 0, 400, FALSE, FALSE, FALSE, 128, 0, 0, 2, 0x31, face);
}

static void text_at(HDC hdc, int x, int y, const WCHAR *text)
{
    TextOutW(hdc, x, y, text, static_cast<int>(wcslen(text)));
}

static void draw_scale(HDC hdc)
{
    HFONT scale_font = create_chart_font(9, L"Terminal");
    HGDIOBJ previous = SelectObject(hdc, scale_font);
    text_at(hdc, 2, 8, L"(dB)");
    text_at(hdc, 2, 18, L"100");
    text_at(hdc, 2, 68, L" 50");
    text_at(hdc, 2, 118, L"  0");
    SelectObject(hdc, previous);
    DeleteObject(scale_font);
}

// The settings' labels, each up to the next control or label. Repaints do not erase the
// background, and a smoothed text drawn again over itself grows darker at every tick.
static const RECT label_boxes[] = {{35, 155, 77, 168}, {95, 155, 125, 168}, {125, 155, 145, 168}};
static const WCHAR *const label_texts[] = {L"Interval:", L"(s)", L"Ch:"};

// The value box shows the first four characters of the newest level: "100." for 100 dB.
static const int header_text_size = 64;
static const int value_text_length = 4;
static void format_value(WCHAR (&text)[header_text_size])
{
    swprintf(text, 16, L"%4.1f", level_history[level_history_size - 1]);
}

static void format_header(WCHAR (&text)[header_text_size])
{
    if (reception.off_plan)
        // No channel of either plan: the frequency itself, never a channel number it is not.
        swprintf(text, header_text_size,
                 alignment_on ? L"Frequency = %d.%03d MHz, Align: 4 samples/s"
                              : L"Frequency = %d.%03d MHz, Interval = %d (s)",
                 reception.frequency_khz / 1000, reception.frequency_khz % 1000, applied_settings.interval_s);
    else if (alignment_on)
        swprintf(text, header_text_size,
                 is_cable(applied_settings.catv) ? L"Channel = C%2d, Align: 4 samples/s"
                                                 : L"Channel = %2d, Align: 4 samples/s",
                 applied_settings.channel);
    else
        swprintf(text, header_text_size,
                 is_cable(applied_settings.catv) ? L"Channel = C%2d, Interval = %d (s)"
                                                 : L"Channel = %2d, Interval = %d (s)",
                 applied_settings.channel, applied_settings.interval_s);
}

// Labels, the newest value and the header, in the label font. Every text area is cleared first:
// repaints do not erase the background.
static void draw_texts(HDC hdc)
{
    HFONT label_font = create_chart_font(12, L"MS UI Gothic");
    HGDIOBJ previous = SelectObject(hdc, label_font);
    for (int i = 0; i < 3; ++i) {
        FillRect(hdc, &label_boxes[i], background_brush());
        text_at(hdc, label_boxes[i].left, label_boxes[i].top, label_texts[i]);
    }

    RECT value_box = {305, 125, 335, 145};
    FillRect(hdc, &value_box, background_brush());
    WCHAR text[header_text_size];
    format_value(text);
    TextOutW(hdc, 305, 125, text, value_text_length);

    RECT header = {30, 5, 310, 20};
    FillRect(hdc, &header, background_brush());
    format_header(text);
    // Without DT_SINGLELINE the vertical centring has no effect: the line sits at the top.
    DrawTextW(hdc, text, -1, &header, DT_CENTER | DT_VCENTER);

    if (alignment_on || peak_text_shown)
        FillRect(hdc, &peak_text_box, background_brush());
    peak_text_shown = alignment_on;
    // In three parts at fixed places, as the value box is: only the number changes.
    if (alignment_on) {
        const COLORREF previous_colour = SetTextColor(hdc, peak_colour);
        text_at(hdc, 22, 125, L"Peak");
        if (peak_held) {
            swprintf(text, 16, L"%4.1f", peak_level_db);
            TextOutW(hdc, 50, 125, text, 4);
        } else {
            text_at(hdc, 50, 125, L"  --");
        }
        text_at(hdc, 76, 125, L"dB (R resets)");
        SetTextColor(hdc, previous_colour);
    }

    SelectObject(hdc, previous);
    DeleteObject(label_font);
}

static void draw_grid(HDC hdc)
{
    HPEN grid_pen = CreatePen(PS_SOLID, 1, grid_colour);
    HGDIOBJ previous = SelectObject(hdc, grid_pen);
    for (int x = 20; x <= 320; x += 10) {
        MoveToEx(hdc, x, 20, nullptr);
        LineTo(hdc, x, 120);
    }
    for (int y = 20; y <= 120; y += 10) {
        MoveToEx(hdc, 20, y, nullptr);
        LineTo(hdc, 320, y);
    }
    SelectObject(hdc, previous);
    DeleteObject(grid_pen);

    HPEN underline_pen = CreatePen(PS_SOLID, 1, grid_colour);
    previous = SelectObject(hdc, underline_pen);
    MoveToEx(hdc, 30, 168, nullptr);
    LineTo(hdc, 230, 168);
    SelectObject(hdc, previous);
    DeleteObject(underline_pen);
}

// One bar per entry, 1 dB to the pixel from y = 120; entries at or below 0 dB draw nothing.
static void draw_bars(HDC hdc)
{
    HBRUSH bar_brush = CreateSolidBrush(bar_colour);
    HGDIOBJ previous = SelectObject(hdc, bar_brush);
    for (int i = 0; i < level_history_size; ++i) {
        if (level_history[i] > 0.0) {
            const int x0 = 22 + 10 * i;
            const int h = static_cast<int>(level_history[i]);
            Rectangle(hdc, x0, 120 - h, x0 + 7, 120);
        }
    }
    SelectObject(hdc, previous);
    DeleteObject(bar_brush);
}

// The receiver's names, plain ASCII, as the window's text; "--" for one it did not give.
static std::wstring widened(const char *name)
{
    return name == nullptr ? L"--" : std::wstring(name, name + std::strlen(name));
}

// In alignment mode, a line for each layer in use: its modulation and code rate, its margin and
// its verdict, in parts at fixed places so that only the figures move. They sit at the chart's
// top, above 60 dB, where no C/N reaches, on black with the grid left out behind them so that they
// read at a glance, and under the bars and the best level's band.
static void draw_layers(HDC hdc)
{
    if (!alignment_on || !aligned_receiver.layers_known)
        return;
    const int previous_mode = SetBkMode(hdc, TRANSPARENT);
    HFONT label_font = create_chart_font(12, L"MS UI Gothic");
    HGDIOBJ previous = SelectObject(hdc, label_font);
    HBRUSH chart_brush = CreateSolidBrush(chart_black);
    int top = 22;
    for (int layer = 0; layer < isdbt_layers; ++layer) {
        const LayerReport &report = aligned_receiver.layers[layer];
        if (!report.in_use)
            continue;
        const RECT line = {21, top, 210, top + 13};
        FillRect(hdc, &line, chart_brush);
        const COLORREF previous_colour = SetTextColor(hdc, verdict_colours[report.verdict]);
        const WCHAR letter[] = {static_cast<WCHAR>(L'A' + layer), 0};
        text_at(hdc, 24, top, letter);
        text_at(hdc, 36, top, (widened(report.modulation) + L' ' + widened(report.code_rate)).c_str());
        WCHAR margin[16] = L"--";
        if (report.margin_db.given)
            swprintf(margin, 16, L"%+.1f", report.margin_db.value);
        RECT margin_box = {96, top, 134, top + 13};
        DrawTextW(hdc, margin, -1, &margin_box, DT_RIGHT | DT_SINGLELINE);
        text_at(hdc, 138, top, L"dB");
        text_at(hdc, 158, top, widened(layer_verdict_word(report.verdict)).c_str());
        SetTextColor(hdc, previous_colour);
        top += 13;
    }
    DeleteObject(chart_brush);
    SelectObject(hdc, previous);
    DeleteObject(label_font);
    SetBkMode(hdc, previous_mode);
}

// The best level as a band two pixels high across the chart, its lower row on the top of that
// level's bar; a best level at or below 0 dB has no bar and no band.
static void draw_peak(HDC hdc)
{
    if (!alignment_on || !peak_held || peak_level_db <= 0.0)
        return;
    const int y = 120 - static_cast<int>(peak_level_db);
    const RECT band = {20, y - 1, 321, y + 1};
    HBRUSH peak_brush = CreateSolidBrush(peak_colour);
    FillRect(hdc, &band, peak_brush);
    DeleteObject(peak_brush);
}

int draw_chart(HDC hdc, HWND)
{
    const int previous_mode = SetBkMode(hdc, TRANSPARENT);
    draw_scale(hdc);
    draw_texts(hdc);
    SetBkMode(hdc, previous_mode);

    HBRUSH black = CreateSolidBrush(chart_black);
    HGDIOBJ previous = SelectObject(hdc, black);
    Rectangle(hdc, 19, 19, 322, 122);
    SelectObject(hdc, previous);
    DeleteObject(black);

    draw_grid(hdc);
    draw_layers(hdc);
    draw_bars(hdc);
    draw_peak(hdc);
    return 0;
}

WindowView window_view()
{
    static_assert(window_view_levels == level_history_size);
    WindowView view{};
    std::copy(std::begin(level_history), std::end(level_history), view.levels);
    WCHAR text[header_text_size];
    format_header(text);
    view.header = narrow_text(text);
    format_value(text);
    view.value = narrow_text(std::wstring(text, value_text_length));
    view.interval_s = applied_settings.interval_s;
    view.alignment = alignment_on;
    view.peak_held = peak_held;
    view.peak_level_db = peak_level_db;
    return view;
}
