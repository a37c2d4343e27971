// The shell's command-line splitting (SHELL32) and the local heap it allocates from (KERNEL32).
// Declarations only: the behaviour behind them lives in the Linux start-up.
#pragma once

#include "platform/compat/windef.h"

using HLOCAL = void *;

LPWSTR *CommandLineToArgvW(LPCWSTR lpCmdLine, int *pNumArgs);
HLOCAL LocalFree(HLOCAL hMem);
