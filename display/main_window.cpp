// The entry point, the main window's class and its window procedure: a flat router to the code
// that owns each concern.
#include <algorithm>

#include "display/display.h"
#include "res/resource.h"
#include "tuner/tuner.h"

WCHAR window_title[100];
WCHAR window_class_name[100];

const WCHAR *const init_failure_text = L"初期化失敗！終了します";
const WCHAR *const timer_failure_text = L"タイマー作成エラー！終了します";
const WCHAR *const metrics_failure_text = L"メトリクスを公開できません！終了します\n";
const WCHAR *const watch_only_text =
    L"他のプログラムがチューナーを使用中のため、選局できません。受信状態の表示を続けます";
const WCHAR *const watch_only_caption = L"チューナー使用中";

static const int window_width = 340;
static const int window_height = 200;

bool headless = false;

// A calling script learns from the exit code whether the monitor ended on a failure.
static int exit_code = 0;

void report_failure(HWND hwnd, const WCHAR *text)
{
    exit_code = 1;
    if (!headless)
        MessageBoxW(hwnd, text, L"失敗", MB_OK);
}

ATOM register_main_class(HINSTANCE instance)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = main_wnd_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUORVEX));
    wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    wc.lpszClassName = window_class_name;
    return RegisterClassExW(&wc);
}

static void on_create(HWND hwnd)
{
    if (!headless)
        create_controls(hwnd);
    if (init_tuner() != 1) {
        report_failure(hwnd, init_failure_text);
        PostQuitMessage(exit_code);
    } else {
        // Another program holds the tuner: the first paint shows the channel it tuned.
        if (follow_watched_tuner())
            show_applied_channel();
        if (alignment_on)
            start_tone();
    }
    arm_sample_timer(hwnd, pending_settings.interval_s);
}

static void on_paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    draw_chart(hdc, hwnd);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK main_wnd_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE: on_create(hwnd); return 0;
    case WM_PAINT: on_paint(hwnd); return 0;
    case WM_TIMER: on_sample_timer(hwnd); return 0;
    case WM_COMMAND:
        // Code 1: a key of the accelerator table.
        if (HIWORD(wparam) == 1) {
            on_alignment_command(hwnd, LOWORD(wparam));
            return 0;
        }
        if (HIWORD(wparam) != BN_CLICKED && HIWORD(wparam) != EN_KILLFOCUS)
            return DefWindowProcW(hwnd, message, wparam, lparam);
        on_settings_command(hwnd, HIWORD(wparam), reinterpret_cast<HWND>(lparam));
        return 0;
    case WM_CLOSE:
        // The timer stops first, so no sample can run against a released tuner.
        disarm_sample_timer(hwnd);
        stop_tone();
        release_tuner();
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY: PostQuitMessage(exit_code); return 0;
    default: return DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

HWND create_main_window(HINSTANCE instance, int show_command)
{
    LoadStringW(instance, IDS_APP_TITLE, window_title, 100);
    LoadStringW(instance, IDC_QUORVEX, window_class_name, 100);
    register_main_class(instance);
    reset_level_history();
    exit_code = 0;
    if (headless)
        return CreateWindowExW(0, window_class_name, window_title, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                               nullptr);

    // Centred, but never past the screen's top or left edge: on a screen narrower than the window
    // the chart's scale and the caption stay in sight.
    const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - window_width) / 2);
    const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - window_height) / 2);
    HWND hwnd = CreateWindowExW(0, window_class_name, window_title, WS_CAPTION | WS_SYSMENU, x, y, window_width,
                                window_height, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr)
        return nullptr;
    ShowWindow(hwnd, show_command);
    UpdateWindow(hwnd);
    return hwnd;
}

int run_message_loop(HWND hwnd)
{
    // The alignment keys work wherever the focus is in the window; letters are nothing the edits
    // take. The resources hold no accelerator table, so the keys' table is made here.
    ACCEL keys[] = {{FVIRTKEY, 'A', align_command}, {FVIRTKEY, 'R', reset_peak_command}};
    HACCEL accelerators = CreateAcceleratorTableW(keys, 2);
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorW(hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    DestroyAcceleratorTable(accelerators);
    return static_cast<int>(msg.wParam);
}

// Without options the program starts as it always has: 1 s, channel 13, terrestrial, no log.
extern "C" int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int show_command)
{
    const StartOptions options = parse_command_line(command_line);
    if (options.action == show_help || options.action == show_version)
        return tell_user(options.action == show_help ? message_text(IDS_HELP) : version_text, options.action) ? 0 : 1;
    if (options.action == usage_error) {
        tell_user(options.problem, options.action);
        return 2;
    }
#ifndef _WIN32
    // A receiver the user names takes the place of the one found at start.
    if (options.action == list_receivers)
        return list_tuners() ? 0 : 1;
    if (!options.device.empty()) {
        const std::wstring problem = use_tuner_device(options.device);
        if (!problem.empty()) {
            tell_user(L"quorvex: --device " + problem, usage_error);
            return 2;
        }
    }
#endif
    pending_settings = options.settings;
    applied_settings = options.settings;
    alignment_on = options.align;
    headless = options.headless;
    if (options.watch)
        watch_tuner_only();
    // Where the program has no console, the box is all the user sees: it says why.
    std::wstring reason;
    if (!options.log_file.empty() && !open_sample_log(options.log_file, &reason)) {
        report_failure(nullptr, (log_failure_text + options.log_file + L": " + reason).c_str());
        return 1;
    }
    if (!options.metrics_address.empty() && !start_metrics(options.metrics_address)) {
        report_failure(nullptr, (metrics_failure_text + options.metrics_address).c_str());
        close_sample_log();
        return 1;
    }
    HWND hwnd = create_main_window(instance, show_command);
    const int result = hwnd == nullptr ? 1 : run_message_loop(hwnd);
    stop_metrics();
    close_sample_log();
    return result;
}
