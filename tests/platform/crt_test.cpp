// The C runtime's and KERNEL32's text and file functions as the Linux start-up provides them:
// answers as Windows gives them, and bytes that were not UTF-8 going back as they came.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

TEST(CrtTest, WideTextBecomesUtf8AndEscapedBytesBecomeThemselves)
{
    const wchar_t *text = L"ch 日本 \xDCFF";
    const std::string expected = "ch \xE6\x97\xA5\xE6\x9C\xAC \xFF";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(size, static_cast<int>(expected.size()) + 1) << "-1 converts the terminator too";
    std::string bytes(static_cast<std::size_t>(size), 'x');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr), size);
    EXPECT_EQ(bytes, expected + '\0');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, 2, bytes.data(), size, nullptr, nullptr), 2);
}

TEST(CrtTest, WhatWindowsRefusesIsRefused)
{
    char bytes[4] = {'x', 'x', 'x', 'x'};
    BOOL used_default = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"日本", -1, bytes, 4, nullptr, nullptr), 0) << "a buffer too small";
    EXPECT_EQ(WideCharToMultiByte(932, 0, L"ch", -1, bytes, 4, nullptr, nullptr), 0) << "another code page";
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"ch", 0, bytes, 4, nullptr, nullptr), 0) << "no text";
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"ch", -1, bytes, 4, nullptr, &used_default), 0)
        << "no default character exists for UTF-8";
    errno = 0;
    EXPECT_EQ(_wsopen(nullptr, _O_WRONLY, _SH_DENYNO, 0), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST(CrtTest, FilesOpenByWideNamesAndAreCutByDescriptor)
{
    const std::string name = "/tmp/quorvex-crt-" + std::to_string(getpid()) + "-\xFF";
    const std::wstring wide = L"/tmp/quorvex-crt-" + std::to_wstring(getpid()) + L"-\xDCFF";
    const int file = _wsopen(wide.c_str(), _O_WRONLY | _O_CREAT | _O_APPEND, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    ASSERT_GE(file, 0);
    EXPECT_EQ(_write(file, "one\ntwo\n", 8), 8);
    EXPECT_EQ(_lseeki64(file, 0, SEEK_END), 8);
    EXPECT_EQ(_chsize_s(file, 4), 0);
    EXPECT_EQ(_chsize_s(file, -1), EINVAL);
    EXPECT_EQ(_chsize_s(-1, 0), EBADF);
    _close(file);
    FILE *read = std::fopen(name.c_str(), "rb");
    ASSERT_NE(read, nullptr) << "the file has the name's own bytes";
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, read), 4u);
    EXPECT_STREQ(text, "one\n");
    std::fclose(read);
    std::remove(name.c_str());
}

// A pipe never holds the program: one that nothing reads is refused at once, and one whose reader
// has gone fails the write, as on Windows, instead of ending the process with SIGPIPE.
TEST(CrtTest, APipeWithoutAReaderFailsInsteadOfWaitingOrEndingTheProcess)
{
    const std::string name = "/tmp/quorvex-fifo-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
    const std::wstring wide(name.begin(), name.end());
    errno = 0;
    EXPECT_EQ(_wsopen(wide.c_str(), _O_WRONLY | _O_APPEND, _SH_DENYNO, 0), -1);
    EXPECT_EQ(errno, ENXIO);

    const int reader = open(name.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = _wsopen(wide.c_str(), _O_WRONLY | _O_APPEND, _SH_DENYNO, 0);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(_write(writer, "row\n", 4), 4);
    close(reader);
    errno = 0;
    EXPECT_EQ(_write(writer, "row\n", 4), -1);
    EXPECT_EQ(errno, EPIPE);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0) << "the signal the write raised is not left waiting";
    _close(writer);
    unlink(name.c_str());
}

} // namespace
