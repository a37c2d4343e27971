// What both window services do alike, free of Qt: these on Qt, and those of a program that shows
// no window (platform/service/). With the string table (string_table.h) and DispatchMessageW.
#pragma once

#include "platform/platform.h"

namespace qtwindow {

// What a window's WM_CREATE carries: CreateWindowExW's arguments, as Windows lays them out.
CREATESTRUCTW creation_parameters(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x, int y,
                                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter);

} // namespace qtwindow
