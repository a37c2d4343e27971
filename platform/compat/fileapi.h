// KERNEL32's file functions the system uses, spelled as the Windows SDK spells them.
// Declarations only: the behaviour behind them lives in the Linux start-up.
#pragma once

#include <cstdint>

#include "platform/compat/wintypes.h"

using HANDLE = void *;

struct OVERLAPPED {
    std::uintptr_t Internal;
    std::uintptr_t InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

#define MAXDWORD 0xFFFFFFFF
#define LOCKFILE_FAIL_IMMEDIATELY 0x00000001
#define LOCKFILE_EXCLUSIVE_LOCK 0x00000002
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_NORMAL 0x00000080

// The whole file only: the lock is the file's, as advisory locks are on Linux.
BOOL LockFileEx(HANDLE file, DWORD flags, DWORD reserved, DWORD bytes_low, DWORD bytes_high, OVERLAPPED *overlapped);
BOOL UnlockFileEx(HANDLE file, DWORD reserved, DWORD bytes_low, DWORD bytes_high, OVERLAPPED *overlapped);
DWORD GetFileAttributesW(LPCWSTR name);
void Sleep(DWORD milliseconds);
