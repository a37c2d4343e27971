#include "platform/qtwindow/window_common.h"

namespace qtwindow {

CREATESTRUCTW creation_parameters(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x, int y,
                                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter)
{
    return {.lpCreateParams = parameter,
            .hInstance = instance,
            .hMenu = menu,
            .hwndParent = parent,
            .cy = height,
            .cx = width,
            .y = y,
            .x = x,
            .style = static_cast<LONG>(style),
            .lpszName = window_name,
            .lpszClass = class_name,
            .dwExStyle = ex_style};
}

} // namespace qtwindow

// A timer's own procedure gets its WM_TIMER; every other message goes to its window's procedure.
LRESULT DispatchMessageW(const MSG *lpMsg)
{
    if (lpMsg == nullptr)
        return 0;
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(lpMsg->lParam)(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, lpMsg->time);
        return 0;
    }
    return SendMessageW(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}
