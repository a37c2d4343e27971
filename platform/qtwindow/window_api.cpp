// Creating, showing and destroying windows, and sending them messages.
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>

#include "platform/platform.h"
#include "platform/qtwindow/application.h"
#include "platform/qtwindow/client_window.h"
#include "platform/qtwindow/controls.h"
#include "platform/qtwindow/seams.h"
#include "platform/qtwindow/text.h"
#include "platform/qtwindow/timers.h"
#include "platform/qtwindow/window_class.h"
#include "platform/qtwindow/window_common.h"

namespace qtwindow {

static bool &creation_failing()
{
    static bool failing = false;
    return failing;
}

void fail_window_creation(bool on) { creation_failing() = on; }

} // namespace qtwindow

using namespace qtwindow;

// While the display cannot be opened, a window is refused, with the line that says why, once.
static bool display_refuses_window()
{
    const std::string &problem = window_system_problem();
    static bool said = false;
    if (!problem.empty() && !said) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::fflush(stderr);
        said = true;
    }
    return !problem.empty();
}

// Registered classes come before the standard controls, as on Windows; a control needs a parent.
HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    if (creation_failing() || lpClassName == nullptr || IS_INTRESOURCE(lpClassName) || display_refuses_window())
        return nullptr;
    Window *parent = find_window(hWndParent);
    if (hWndParent != nullptr && parent == nullptr)
        return nullptr;
    QWidget *parent_widget = parent == nullptr ? nullptr : &parent->widget();
    const QString class_name = to_qstring(lpClassName);
    const WindowClass *registered = find_class(class_name);
    const ControlMaker control = parent == nullptr ? nullptr : control_maker(class_name);
    if (registered == nullptr && control == nullptr)
        return nullptr;

    CREATESTRUCTW create = creation_parameters(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth, nHeight,
                                               hWndParent, hMenu, hInstance, lpParam);
    const HWND hwnd = add_window([&](HWND handle) -> std::unique_ptr<Window> {
        if (registered != nullptr)
            return std::make_unique<ClientWindow>(handle, *registered, create, parent_widget);
        return control(handle, create, parent_widget);
    });
    // WM_CREATE arrives before CreateWindowExW returns; -1 refuses the window.
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if ((dwStyle & WS_VISIBLE) != 0)
        ShowWindow(hwnd, SW_SHOW);
    return hwnd;
}

// Gives back whether the window was visible before.
BOOL ShowWindow(HWND hWnd, int nCmdShow)
{
    Window *window = find_window(hWnd);
    if (window == nullptr)
        return FALSE;
    QWidget &widget = window->widget();
    const bool was_visible = !widget.isHidden();
    if (nCmdShow == SW_HIDE) {
        widget.hide();
    } else {
        widget.show();
        if (widget.isWindow()) {
            // Activation gives the focus to the window itself, as on Windows, not to its first control.
            widget.setFocus(Qt::ActiveWindowFocusReason);
            widget.activateWindow();
        }
    }
    return was_visible ? TRUE : FALSE;
}

// As on Windows: hidden first, then WM_DESTROY to the window and after it to its children; the
// window's timers stop with it.
BOOL DestroyWindow(HWND hWnd)
{
    Window *window = find_window(hWnd);
    if (window == nullptr || window->destroying)
        return FALSE;
    window->destroying = true;
    window->widget().hide();
    SendMessageW(hWnd, WM_DESTROY, 0, 0);
    for (HWND child : child_windows(hWnd))
        DestroyWindow(child);
    kill_timers_of(hWnd);
    retire_window(hWnd);
    return TRUE;
}

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window *window = find_window(hWnd);
    return window == nullptr ? 0 : window->default_procedure(Msg, wParam, lParam);
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    Window *window = find_window(hWnd);
    return window == nullptr ? 0 : window->procedure(Msg, wParam, lParam);
}

// The primary screen, whatever platform Qt runs on (offscreen: the size it reports).
int GetSystemMetrics(int nIndex)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    switch (nIndex) {
    case SM_CXSCREEN: return screen.width();
    case SM_CYSCREEN: return screen.height();
    default: return 0;
    }
}
