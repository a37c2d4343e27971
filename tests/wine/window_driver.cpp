// Test helper run under Wine beside the program: finds the program's main window and uses it as a
// person would, with mouse clicks and keystrokes through the window system's input queue, then
// reads back what the controls show. Every wait is bounded.
//
//   window_driver rect             waits up to 30 s for the window; prints "x y width height"
//   window_driver apply CH CATV    types CH into the channel box, sets the CATV box to CATV (0 or 1)
//                                  and clicks Apply; prints "channel=..." and "catv=..." as shown
//   window_driver paste COUNT      pastes COUNT digits into the channel box and leaves it for the
//                                  interval box; prints "pasted=LENGTH" (what the box took) and
//                                  "channel=..." (what it shows once left)
//   window_driver key K            clicks into the channel box and presses the letter key K there
//   window_driver close            clicks the window's close box
//   window_driver fonts            prints the faces the window's labels and close box get
//
// Exit codes: 0 done, 2 no window, 3 usage, 4 the window did not take an input in time.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

static const int wait_limit_ms = 5000;
static const int poll_ms = 50;

static HWND find_main_window()
{
    for (int waited_ms = 0; waited_ms < 30000; waited_ms += 100) {
        // The class name is string 109 of the program's resources.
        HWND window = FindWindowW(L"QUORVEX", nullptr);
        if (window != nullptr && IsWindowVisible(window))
            return window;
        Sleep(100);
    }
    return nullptr;
}

struct Controls {
    HWND interval = nullptr;
    HWND channel = nullptr;
    HWND catv = nullptr;
    HWND apply = nullptr;
};

static BOOL CALLBACK collect(HWND child, LPARAM found)
{
    reinterpret_cast<std::vector<HWND> *>(found)->push_back(child);
    return TRUE;
}

static std::wstring text_of(HWND window)
{
    WCHAR text[64] = {};
    SendMessageW(window, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
    return text;
}

// The settings row holds two edits, interval then channel from left to right, and two buttons.
static Controls find_controls(HWND window)
{
    std::vector<HWND> children;
    EnumChildWindows(window, collect, reinterpret_cast<LPARAM>(&children));
    Controls controls;
    LONG channel_left = -1;
    for (HWND child : children) {
        WCHAR class_name[32] = {};
        GetClassNameW(child, class_name, 32);
        RECT rect;
        GetWindowRect(child, &rect);
        if (_wcsicmp(class_name, L"Edit") == 0 && rect.left > channel_left) {
            controls.interval = controls.channel;
            controls.channel = child;
            channel_left = rect.left;
        } else if (_wcsicmp(class_name, L"Edit") == 0) {
            controls.interval = child;
        } else if (_wcsicmp(class_name, L"Button") == 0 && text_of(child) == L"CATV") {
            controls.catv = child;
        } else if (_wcsicmp(class_name, L"Button") == 0 && text_of(child) == L"Apply") {
            controls.apply = child;
        }
    }
    return controls;
}

static void send(std::vector<INPUT> inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

static INPUT mouse(DWORD flags, POINT at)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}

static void click_at(POINT at)
{
    send({mouse(MOUSEEVENTF_MOVE, at), mouse(MOUSEEVENTF_LEFTDOWN, at), mouse(MOUSEEVENTF_LEFTUP, at)});
}

static void click(HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    click_at({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

static INPUT key(WORD virtual_key, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtual_key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// The control holding the keyboard focus in the program's own thread.
static HWND focus_of(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus;
}

template <typename Condition> static bool wait_for(Condition condition)
{
    for (int waited_ms = 0; waited_ms < wait_limit_ms; waited_ms += poll_ms) {
        if (condition())
            return true;
        Sleep(poll_ms);
    }
    return condition();
}

static int apply(HWND window, const wchar_t *channel, bool catv)
{
    const Controls controls = find_controls(window);
    if (controls.channel == nullptr || controls.catv == nullptr || controls.apply == nullptr)
        return 2;

    // Into the channel box: select what it holds, then type over it.
    click(controls.channel);
    if (!wait_for([&] { return focus_of(window) == controls.channel; }))
        return 4;
    send({key(VK_END, false), key(VK_END, true), key(VK_SHIFT, false), key(VK_HOME, false), key(VK_HOME, true),
          key(VK_SHIFT, true)});
    for (const wchar_t *digit = channel; *digit != 0; ++digit)
        send({key(static_cast<WORD>(*digit), false), key(static_cast<WORD>(*digit), true)});
    if (!wait_for([&] { return text_of(controls.channel) == channel; }))
        return 4;

    // The click on the box takes the focus from the channel box, which corrects its value first.
    const LRESULT wanted = catv ? BST_CHECKED : BST_UNCHECKED;
    if (SendMessageW(controls.catv, BM_GETCHECK, 0, 0) != wanted) {
        click(controls.catv);
        if (!wait_for([&] { return SendMessageW(controls.catv, BM_GETCHECK, 0, 0) == wanted; }))
            return 4;
    }
    std::printf("channel=%ls\ncatv=%d\n", text_of(controls.channel).c_str(),
                SendMessageW(controls.catv, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    click(controls.apply);
    return 0;
}

// Like text_of, but gives up on a program that does not answer, so the caller's wait stays
// bounded.
static bool text_in_time(HWND control, std::wstring &text)
{
    DWORD_PTR length = 0;
    if (SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 200, &length) == 0)
        return false;
    text.assign(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (SendMessageTimeoutW(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                            200, &copied) == 0)
        return false;
    text.resize(copied);
    return true;
}

// The clipboard takes data only from a window that owns it: a message-only window of the
// driver's own, alive as long as the driver.
static bool put_on_clipboard(const std::wstring &text)
{
    HWND owner = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const SIZE_T bytes = (text.size() + 1) * sizeof(WCHAR);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (owner == nullptr || memory == nullptr)
        return false;
    std::memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool put = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!put)
        GlobalFree(memory);
    return put;
}

static int paste(HWND window, int count)
{
    const Controls controls = find_controls(window);
    if (controls.interval == nullptr || controls.channel == nullptr)
        return 2;
    if (!put_on_clipboard(std::wstring(static_cast<size_t>(count), L'9')))
        return 4;
    const std::wstring before = text_of(controls.channel);
    click(controls.channel);
    if (!wait_for([&] { return focus_of(window) == controls.channel; }))
        return 4;
    send({key(VK_END, false), key(VK_END, true), key(VK_SHIFT, false), key(VK_HOME, false), key(VK_HOME, true),
          key(VK_SHIFT, true), key(VK_CONTROL, false), key('V', false), key('V', true), key(VK_CONTROL, true)});
    std::wstring pasted;
    if (!wait_for([&] { return text_in_time(controls.channel, pasted) && pasted != before; }))
        return 4;
    click(controls.interval);
    std::wstring shown;
    if (!wait_for([&] { return text_in_time(controls.channel, shown) && shown != pasted; }))
        return 4;
    std::printf("pasted=%ls\nchannel=%ls\n", pasted.c_str(), shown.c_str());
    return 0;
}

// A key of the window's own works wherever the focus is, an edit included.
static int press_in_channel_box(HWND window, wchar_t letter)
{
    const Controls controls = find_controls(window);
    if (controls.channel == nullptr)
        return 2;
    click(controls.channel);
    if (!wait_for([&] { return focus_of(window) == controls.channel; }))
        return 4;
    const auto virtual_key = static_cast<WORD>(std::towupper(letter));
    send({key(virtual_key, false), key(virtual_key, true)});
    return 0;
}

// The close box is where the window itself says it is, along the middle of its caption.
static int close_window(HWND window)
{
    TITLEBARINFO caption = {};
    caption.cbSize = sizeof caption;
    if (!GetTitleBarInfo(window, &caption))
        return 4;
    const int y = (caption.rcTitleBar.top + caption.rcTitleBar.bottom) / 2;
    const auto is_close_box = [&](int x) { return SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE; };
    int right = caption.rcTitleBar.right;
    while (right > caption.rcTitleBar.left && !is_close_box(right))
        --right;
    int left = right;
    while (left > caption.rcTitleBar.left && is_close_box(left - 1))
        --left;
    if (right == caption.rcTitleBar.left)
        return 4;
    click_at({(left + right) / 2, y});
    return 0;
}

// The faces the window's text gets in this prefix: the labels' face and the width of "Interval:"
// in it (the interval edit starts 42 pixels after the label), and the face of the close box's
// glyph.
static int report_fonts(HWND window)
{
    HDC dc = GetDC(window);
    const auto face_of = [dc](const wchar_t *asked, DWORD charset, const wchar_t *sample, SIZE *extent) {
        HFONT font = CreateFontW(12, 0, 0, 0, 400, FALSE, FALSE, FALSE, charset, 0, 0, 2, 0x31, asked);
        HGDIOBJ previous = SelectObject(dc, font);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        if (extent != nullptr)
            GetTextExtentPoint32W(dc, sample, static_cast<int>(std::wcslen(sample)), extent);
        SelectObject(dc, previous);
        DeleteObject(font);
        return std::wstring(face);
    };
    SIZE label = {};
    const std::wstring label_face = face_of(L"MS UI Gothic", SHIFTJIS_CHARSET, L"Interval:", &label);
    const std::wstring glyph_face = face_of(L"Marlett", SYMBOL_CHARSET, L"r", nullptr);
    ReleaseDC(window, dc);
    std::printf("label_face=%ls\ninterval_width=%ld\nclose_glyph_face=%ls\n", label_face.c_str(), label.cx,
                glyph_face.c_str());
    return 0;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2)
        return 3;
    _setmode(_fileno(stdout), _O_BINARY); // lines end in \n, as the test compares them
    HWND window = find_main_window();
    if (window == nullptr)
        return 2;
    if (std::wcscmp(argv[1], L"rect") == 0) {
        RECT frame;
        GetWindowRect(window, &frame);
        std::printf("%ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
        return 0;
    }
    if (std::wcscmp(argv[1], L"apply") == 0 && argc == 4)
        return apply(window, argv[2], std::wcscmp(argv[3], L"1") == 0);
    if (std::wcscmp(argv[1], L"paste") == 0 && argc == 3)
        return paste(window, _wtoi(argv[2]));
    if (std::wcscmp(argv[1], L"key") == 0 && argc == 3)
        return press_in_channel_box(window, argv[2][0]);
    if (std::wcscmp(argv[1], L"close") == 0)
        return close_window(window);
    if (std::wcscmp(argv[1], L"fonts") == 0)
        return report_fonts(window);
    return 3;
}
