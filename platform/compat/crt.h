// The C runtime's wide-path and descriptor functions that glibc lacks, spelled as Microsoft's
// runtime spells them. Declarations only: the behaviour behind them lives in the Linux start-up.
#pragma once

#include <cstdio>

FILE *_wfopen(const wchar_t *filename, const wchar_t *mode);
int _fileno(FILE *stream);
int _chsize_s(int fd, long long size);
int _fseeki64(FILE *stream, long long offset, int origin);
long long _ftelli64(FILE *stream);
