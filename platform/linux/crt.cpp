// The C runtime's functions that glibc lacks: wide-string conversion, wide file names, and
// descriptors by Microsoft's names.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cwchar>
#include <fcntl.h>
#include <pthread.h>
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

// File names are wide text as the program holds them; bytes that were not UTF-8 in the command line
// go back to the system as they came. Opening never waits: a pipe that nothing reads is refused
// (ENXIO) rather than holding the program before its window, and a pipe's writes that would wait
// for a slow reader fail instead.
int _wsopen(const wchar_t *filename, int oflag, int, int pmode)
{
    if (filename == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return open(linux_platform::to_system_bytes(filename).c_str(), oflag | O_NONBLOCK | O_CLOEXEC,
                static_cast<mode_t>(pmode));
}

int _write(int fd, const void *buffer, unsigned int count)
{
    // SIGPIPE is held back for the call, and the one it raises taken away unless one was already
    // waiting: the write fails with EPIPE and the process goes on, as on Windows.
    sigset_t pipe_signal;
    sigset_t previous;
    sigset_t pending;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
    sigpending(&pending);
    const bool already_pending = sigismember(&pending, SIGPIPE) == 1;
    ssize_t written = 0;
    do
        written = write(fd, buffer, count);
    while (written < 0 && errno == EINTR);
    const int error = errno;
    if (written < 0 && error == EPIPE && !already_pending) {
        const timespec now{};
        while (sigtimedwait(&pipe_signal, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return written < 0 ? -1 : static_cast<int>(written);
}

int _read(int fd, void *buffer, unsigned int count)
{
    ssize_t got = 0;
    do
        got = read(fd, buffer, count);
    while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : static_cast<int>(got);
}

int _close(int fd) { return close(fd); }

long long _lseeki64(int fd, long long offset, int origin) { return lseek(fd, static_cast<off_t>(offset), origin); }

int _chsize_s(int fd, long long size)
{
    if (size < 0)
        return EINVAL;
    return ftruncate(fd, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

std::intptr_t _get_osfhandle(int fd) { return fd; }

int _wstat64(const wchar_t *path, struct _stat64 *status)
{
    if (path == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return stat(linux_platform::to_system_bytes(path).c_str(), status);
}

int _fstat64(int fd, struct _stat64 *status) { return fstat(fd, status); }
