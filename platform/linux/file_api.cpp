// KERNEL32's file functions on Linux: whole-file locks as flock's, attributes from stat.
#include <cerrno>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>

#include "platform/linux/wide_text.h"
#include "platform/platform.h"

static int descriptor_of(HANDLE file) { return static_cast<int>(reinterpret_cast<std::intptr_t>(file)); }

BOOL LockFileEx(HANDLE file, DWORD flags, DWORD, DWORD, DWORD, OVERLAPPED *)
{
    const int operation = ((flags & LOCKFILE_EXCLUSIVE_LOCK) != 0 ? LOCK_EX : LOCK_SH) |
                          ((flags & LOCKFILE_FAIL_IMMEDIATELY) != 0 ? LOCK_NB : 0);
    int result = 0;
    do
        result = flock(descriptor_of(file), operation);
    while (result != 0 && errno == EINTR);
    return result == 0 ? TRUE : FALSE;
}

BOOL UnlockFileEx(HANDLE file, DWORD, DWORD, DWORD, OVERLAPPED *)
{
    return flock(descriptor_of(file), LOCK_UN) == 0 ? TRUE : FALSE;
}

DWORD GetFileAttributesW(LPCWSTR name)
{
    struct stat status {};
    if (name == nullptr || stat(linux_platform::to_system_bytes(name).c_str(), &status) != 0)
        return INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

void Sleep(DWORD milliseconds)
{
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
