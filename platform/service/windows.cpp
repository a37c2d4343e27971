// Window classes and message-only windows.
#include "platform/service/windows.h"

#include "platform/qtwindow/window_common.h"
#include "platform/texts.h"

#include <cstdint>
#include <cstdio>
#include <cwctype>
#include <map>
#include <string>

namespace service_window {

namespace {

struct Window {
    WNDPROC procedure;
    bool destroying = false;
};

// Class names compare without regard to case, as on Windows.
std::wstring class_key(LPCWSTR name)
{
    std::wstring key(name);
    for (wchar_t &c : key)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return key;
}

std::map<std::wstring, WNDPROC> &classes()
{
    static std::map<std::wstring, WNDPROC> registered;
    return registered;
}

std::map<HWND, Window> &windows()
{
    static std::map<HWND, Window> alive;
    return alive;
}

Window *find_window(HWND hwnd)
{
    const auto found = windows().find(hwnd);
    return found == windows().end() ? nullptr : &found->second;
}

} // namespace

std::vector<HWND> live_windows()
{
    std::vector<HWND> handles;
    for (const auto &[handle, window] : windows())
        if (!window.destroying)
            handles.push_back(handle);
    return handles;
}

} // namespace service_window

using namespace service_window;
using qtwindow::creation_parameters;

ATOM RegisterClassExW(const WNDCLASSEXW *lpwcx)
{
    if (lpwcx == nullptr || lpwcx->lpfnWndProc == nullptr || lpwcx->lpszClassName == nullptr ||
        IS_INTRESOURCE(lpwcx->lpszClassName) || *lpwcx->lpszClassName == 0)
        return 0;
    if (!classes().emplace(class_key(lpwcx->lpszClassName), lpwcx->lpfnWndProc).second)
        return 0;
    // Windows' class atoms start here.
    return static_cast<ATOM>(0xC000 + classes().size() - 1);
}

// Only message-only windows: there is no display to show any other.
HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    if (lpClassName == nullptr || IS_INTRESOURCE(lpClassName))
        return nullptr;
    if (hWndParent != HWND_MESSAGE) {
        std::fputs(translated("quorvex: this program shows no window; quorvex --headless runs it\n"), stderr);
        return nullptr;
    }
    const auto registered = classes().find(class_key(lpClassName));
    if (registered == classes().end())
        return nullptr;
    static std::uintptr_t last_handle = 0x10000;
    const auto hwnd = reinterpret_cast<HWND>(last_handle += 4);
    windows()[hwnd] = {registered->second};
    CREATESTRUCTW create = creation_parameters(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight,
                                               hWndParent, hMenu, hInstance, lpParam);
    // WM_CREATE arrives before CreateWindowExW returns; -1 refuses the window.
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

BOOL DestroyWindow(HWND hWnd)
{
    Window *window = find_window(hWnd);
    if (window == nullptr || window->destroying)
        return FALSE;
    window->destroying = true;
    SendMessageW(hWnd, WM_DESTROY, 0, 0);
    kill_timers_of(hWnd);
    windows().erase(hWnd);
    return TRUE;
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    const Window *window = find_window(hWnd);
    return window == nullptr ? 0 : window->procedure(hWnd, Msg, wParam, lParam);
}

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM, LPARAM)
{
    if (Msg == WM_CLOSE)
        DestroyWindow(hWnd);
    return 0;
}
