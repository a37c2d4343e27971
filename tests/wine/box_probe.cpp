// Test helper run under Wine beside the program: finds the program's message box through the
// window system, prints its caption and text as UTF-8, and presses its OK button.
//
//   box_probe read   waits up to 30 s for the box, prints "caption=...", "text=..."; exit 2 if none
//   box_probe ok     presses OK on the box
#include <windows.h>

#include <cwchar>
#include <string>

static HWND find_box()
{
    for (int waited_ms = 0; waited_ms < 30000; waited_ms += 100) {
        // Message boxes are dialogs of the system's dialog class.
        HWND box = FindWindowW(L"#32770", nullptr);
        if (box != nullptr && IsWindowVisible(box))
            return box;
        Sleep(100);
    }
    return nullptr;
}

static BOOL CALLBACK find_text(HWND child, LPARAM found)
{
    WCHAR class_name[32];
    WCHAR text[4096];
    GetClassNameW(child, class_name, 32);
    if (_wcsicmp(class_name, L"Static") == 0 && GetWindowTextW(child, text, 4096) > 0) {
        *reinterpret_cast<std::wstring *>(found) = text;
        return FALSE;
    }
    return TRUE;
}

static void print_utf8(const wchar_t *label, const std::wstring &text)
{
    std::wstring line = std::wstring(label) + L"=" + text + L"\n";
    const int length = static_cast<int>(line.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), length, bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(size), &written, nullptr);
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2)
        return 3;
    HWND box = find_box();
    if (box == nullptr)
        return 2;
    if (std::wcscmp(argv[1], L"read") == 0) {
        WCHAR caption[256];
        GetWindowTextW(box, caption, 256);
        std::wstring text;
        EnumChildWindows(box, find_text, reinterpret_cast<LPARAM>(&text));
        print_utf8(L"caption", caption);
        print_utf8(L"text", text);
        return 0;
    }
    HWND ok = GetDlgItem(box, IDOK);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    return 0;
}
