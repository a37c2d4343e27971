// What the program's window code asks of a display, answered as by a system without one. A
// headless run never shows its window, paints it, nor makes the controls, fonts, pens and
// brushes that painting would use; these answers only complete the services it links against.
#include "platform/platform.h"

HICON LoadIconW(HINSTANCE, LPCWSTR) { return nullptr; }
HCURSOR LoadCursorW(HINSTANCE, LPCWSTR) { return nullptr; }
HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR) { return nullptr; }
int GetSystemMetrics(int) { return 0; }
BOOL ShowWindow(HWND, int) { return FALSE; }
BOOL UpdateWindow(HWND) { return FALSE; }
BOOL InvalidateRect(HWND, const RECT *, BOOL) { return FALSE; }
HDC BeginPaint(HWND, LPPAINTSTRUCT) { return nullptr; }
BOOL EndPaint(HWND, const PAINTSTRUCT *) { return FALSE; }
// Nobody could see the box or answer it: it counts as answered.
int MessageBoxW(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }
HACCEL CreateAcceleratorTableW(LPACCEL, int) { return nullptr; }
BOOL DestroyAcceleratorTable(HACCEL) { return FALSE; }
int TranslateAcceleratorW(HWND, HACCEL, LPMSG) { return 0; }

HFONT CreateFontW(int, int, int, int, int, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, LPCWSTR)
{
    return nullptr;
}
HPEN CreatePen(int, int, COLORREF) { return nullptr; }
HBRUSH CreateSolidBrush(COLORREF) { return nullptr; }
HGDIOBJ SelectObject(HDC, HGDIOBJ) { return nullptr; }
BOOL DeleteObject(HGDIOBJ) { return FALSE; }
int SetBkMode(HDC, int) { return 0; }
COLORREF SetTextColor(HDC, COLORREF) { return CLR_INVALID; }
BOOL TextOutW(HDC, int, int, LPCWSTR, int) { return FALSE; }
int DrawTextW(HDC, LPCWSTR, int, LPRECT, UINT) { return 0; }
int FillRect(HDC, const RECT *, HBRUSH) { return 0; }
BOOL Rectangle(HDC, int, int, int, int) { return FALSE; }
BOOL MoveToEx(HDC, int, int, LPPOINT) { return FALSE; }
BOOL LineTo(HDC, int, int) { return FALSE; }
