// The C runtime's wide-path and descriptor functions that glibc lacks, spelled as Microsoft's
// runtime spells them. Declarations only: the behaviour behind them lives in the Linux start-up.
#pragma once

#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>

#define _O_RDONLY O_RDONLY
#define _O_WRONLY O_WRONLY
#define _O_APPEND O_APPEND
#define _O_CREAT O_CREAT
#define _O_BINARY 0
#define _SH_DENYNO 0x40
#define _S_IREAD S_IRUSR
#define _S_IWRITE S_IWUSR

// Never waits for a reader: a pipe that nothing reads fails with ENXIO.
int _wsopen(const wchar_t *filename, int oflag, int shflag, int pmode);
// A pipe whose reader has gone fails with EPIPE, as on Windows, instead of ending the process.
int _write(int fd, const void *buffer, unsigned int count);
int _read(int fd, void *buffer, unsigned int count);
int _close(int fd);
long long _lseeki64(int fd, long long offset, int origin);
int _chsize_s(int fd, long long size);
std::intptr_t _get_osfhandle(int fd);
// Microsoft's 64-bit status, which on Linux is the system's own.
#define _stat64 stat
int _wstat64(const wchar_t *path, struct _stat64 *status);
int _fstat64(int fd, struct _stat64 *status);
