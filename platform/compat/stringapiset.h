// Converting wide text to bytes (KERNEL32), for the one code page the system asks for: UTF-8.
// Declarations only: the behaviour behind them lives in the Linux start-up.
#pragma once

#include "platform/compat/wintypes.h"

#define CP_UTF8 65001

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, BOOL *lpUsedDefaultChar);
