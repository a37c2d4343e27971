#include "platform/qtwindow/paint.h"

#include "platform/qtwindow/client_window.h"

namespace qtwindow {

static ClientWindow *client_window(HWND hwnd) { return dynamic_cast<ClientWindow *>(find_window(hwnd)); }

HWND window_needing_paint()
{
    for (HWND hwnd : window_handles())
        if (const ClientWindow *window = client_window(hwnd); window != nullptr && window->needs_paint())
            return hwnd;
    return nullptr;
}

} // namespace qtwindow

using namespace qtwindow;

BOOL InvalidateRect(HWND hWnd, const RECT *lpRect, BOOL bErase)
{
    Window *window = find_window(hWnd);
    if (window == nullptr)
        return FALSE;
    if (auto *client = dynamic_cast<ClientWindow *>(window))
        client->invalidate(lpRect, bErase != FALSE);
    else
        window->widget().update(); // the controls paint themselves
    return TRUE;
}

BOOL UpdateWindow(HWND hWnd)
{
    if (find_window(hWnd) == nullptr)
        return FALSE;
    if (const ClientWindow *window = client_window(hWnd); window != nullptr && window->needs_paint())
        SendMessageW(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint)
{
    ClientWindow *window = client_window(hWnd);
    return window == nullptr || lpPaint == nullptr ? nullptr : window->begin_paint(*lpPaint);
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT *lpPaint)
{
    ClientWindow *window = client_window(hWnd);
    if (window == nullptr || lpPaint == nullptr)
        return FALSE;
    window->end_paint(*lpPaint);
    return TRUE;
}
