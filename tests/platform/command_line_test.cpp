// The command line as Linux hands it to the entry point: the arguments quoted into one line, and
// split again by the shell's rules, come back exactly as they were given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/command_line.h"
#include "platform/platform.h"

namespace {

std::vector<std::wstring> split(const std::wstring &line)
{
    int count = -1;
    LPWSTR *argv = CommandLineToArgvW(line.c_str(), &count);
    EXPECT_NE(argv, nullptr);
    std::vector<std::wstring> arguments;
    for (int i = 0; argv != nullptr && i < count; ++i)
        arguments.emplace_back(argv[i]);
    EXPECT_EQ(argv == nullptr ? nullptr : argv[count], nullptr) << "the array ends with a null entry";
    LocalFree(argv);
    return arguments;
}

std::string shown(const std::vector<std::wstring> &arguments)
{
    std::string text;
    for (const std::wstring &argument : arguments) {
        text += '[';
        for (const wchar_t c : argument)
            text += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c);
        text += ']';
    }
    return text;
}

TEST(CommandLineTest, AwkwardArgumentsSurviveQuotingAndSplitting)
{
    const std::vector<std::wstring> awkward = {
        L"plain",
        L"two words",
        L"",
        L"tab\there",
        L"say \"hi\"",
        L"\"",
        L"\"\"",
        L"back\\slash",
        L"ends in a backslash\\",
        L"ends\\",
        L"two at the end\\\\",
        L"a\\\"b",
        L"a\\\\\"b c",
        L"\\\\server\\share dir\\",
        L" leading and trailing ",
        L"--log=C:\\Program Files\\levels.csv",
        L"日本語 チャンネル",
        L"\xDC80\xDCFF not UTF-8",
    };
    for (const std::wstring &argument : awkward) {
        const std::vector<std::wstring> one = {argument};
        EXPECT_EQ(shown(split(L"quorvex " + linux_platform::quote_arguments(one))), shown({L"quorvex", argument}));
    }
    std::vector<std::wstring> all = awkward;
    std::vector<std::wstring> expected = {L"quorvex"};
    expected.insert(expected.end(), all.begin(), all.end());
    EXPECT_EQ(shown(split(L"quorvex " + linux_platform::quote_arguments(all))), shown(expected))
        << "each argument stays one, next to the others";
}

TEST(CommandLineTest, SplittingFollowsTheDocumentedExamples)
{
    EXPECT_EQ(shown(split(LR"(prog "abc" d e)")), shown({L"prog", L"abc", L"d", L"e"}));
    EXPECT_EQ(shown(split(LR"(prog a\\b d"e f"g h)")), shown({L"prog", LR"(a\\b)", L"de fg", L"h"}));
    EXPECT_EQ(shown(split(LR"(prog a\\\"b c d)")), shown({L"prog", LR"(a\"b)", L"c", L"d"}));
    EXPECT_EQ(shown(split(LR"(prog a\\\\"b c" d e)")), shown({L"prog", LR"(a\\b c)", L"d", L"e"}));
    EXPECT_EQ(shown(split(LR"(prog a"b"" c d)")), shown({L"prog", L"ab\" c d"}));
}

TEST(CommandLineTest, TheProgramNameEndsAtItsQuoteAndKeepsItsBackslashes)
{
    EXPECT_EQ(shown(split(LR"("C:\Program Files\quorvex.exe" --catv)")),
              shown({LR"(C:\Program Files\quorvex.exe)", L"--catv"}));
    EXPECT_EQ(shown(split(LR"(dir\quorvex\ --catv)")), shown({LR"(dir\quorvex\)", L"--catv"}));
    EXPECT_EQ(shown(split(L"quorvex")), shown({L"quorvex"}));
    EXPECT_EQ(shown(split(L"quorvex ")), shown({L"quorvex"})) << "no empty argument from a trailing blank";
}

} // namespace
