// The C runtime's functions that glibc lacks: wide-string conversion, wide file names, and
// descriptors by Microsoft's names.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <unistd.h>

#include "platform/linux/wide_text.h"
#include "platform/platform.h"

// Leading blanks, a sign, then digits up to the first non-digit; 0 when there are none. Values
// beyond int saturate, as with Microsoft's runtime.
int _wtoi(const wchar_t *str)
{
    if (str == nullptr)
        return 0;
    const long value = std::wcstol(str, nullptr, 10);
    return value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : static_cast<int>(value));
}

// File names and modes are wide text as the program holds them; bytes that were not UTF-8 in the
// command line go back to the system as they came.
FILE *_wfopen(const wchar_t *filename, const wchar_t *mode)
{
    if (filename == nullptr || mode == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    return std::fopen(linux_platform::to_system_bytes(filename).c_str(), linux_platform::to_system_bytes(mode).c_str());
}

int _fileno(FILE *stream) { return fileno(stream); }

int _chsize_s(int fd, long long size)
{
    if (size < 0)
        return EINVAL;
    return ftruncate(fd, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int _fseeki64(FILE *stream, long long offset, int origin) { return fseeko(stream, static_cast<off_t>(offset), origin); }

long long _ftelli64(FILE *stream) { return ftello(stream); }
