// The C runtime's and KERNEL32's text and file functions as the Linux start-up provides them:
// answers as Windows gives them, and bytes that were not UTF-8 going back as they came.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
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
    EXPECT_EQ(_wfopen(nullptr, L"ab"), nullptr);
    EXPECT_EQ(errno, EINVAL);
}

TEST(CrtTest, FilesOpenByWideNamesAndAreCutByDescriptor)
{
    const std::string name = "/tmp/quorvex-crt-" + std::to_string(getpid()) + "-\xFF";
    const std::wstring wide = L"/tmp/quorvex-crt-" + std::to_wstring(getpid()) + L"-\xDCFF";
    FILE *file = _wfopen(wide.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fputs("one\ntwo\n", file);
    std::fflush(file);
    EXPECT_EQ(_chsize_s(_fileno(file), 4), 0);
    EXPECT_EQ(_chsize_s(_fileno(file), -1), EINVAL);
    EXPECT_EQ(_chsize_s(-1, 0), EBADF);
    std::fclose(file);
    file = std::fopen(name.c_str(), "rb");
    ASSERT_NE(file, nullptr) << "the file has the name's own bytes";
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, file), 4u);
    EXPECT_STREQ(text, "one\n");
    std::fclose(file);
    std::remove(name.c_str());
}

} // namespace
