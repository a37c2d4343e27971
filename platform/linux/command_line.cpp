#include "platform/linux/command_line.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/platform.h"

namespace linux_platform {

std::wstring quote_arguments(const std::vector<std::wstring> &arguments)
{
    std::wstring line;
    for (const std::wstring &argument : arguments) {
        if (!line.empty())
            line += L' ';
        if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
            line += argument;
            continue;
        }
        // Backslashes count only before a quote: double those, and those before the closing one.
        line += L'"';
        std::size_t backslashes = 0;
        for (const wchar_t c : argument) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            if (c == L'"')
                line.append(backslashes * 2 + 1, L'\\');
            else
                line.append(backslashes, L'\\');
            backslashes = 0;
            line += c;
        }
        line.append(backslashes * 2, L'\\');
        line += L'"';
    }
    return line;
}

} // namespace linux_platform

namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program's name ends at the closing quote or the first blank; backslashes are plain there.
const wchar_t *split_program_name(const wchar_t *s, std::vector<std::wstring> &arguments)
{
    std::wstring name;
    if (*s == L'"') {
        for (++s; *s != 0 && *s != L'"'; ++s)
            name += *s;
        if (*s == L'"')
            ++s;
    } else {
        for (; *s != 0 && !is_blank(*s); ++s)
            name += *s;
    }
    arguments.push_back(name);
    return s;
}

// Then the C runtime's rules: 2n backslashes and a quote are n backslashes and a quote that
// opens or closes a quoted part; 2n+1 are n and a literal quote; a pair of quotes inside a quoted
// part is one literal quote.
void split_arguments(const wchar_t *s, std::vector<std::wstring> &arguments)
{
    for (;;) {
        while (is_blank(*s))
            ++s;
        if (*s == 0)
            return;
        std::wstring argument;
        bool quoted = false;
        while (*s != 0 && (quoted || !is_blank(*s))) {
            std::size_t backslashes = 0;
            while (*s == L'\\')
                ++backslashes, ++s;
            if (*s != L'"') {
                argument.append(backslashes, L'\\');
                if (*s != 0 && (quoted || !is_blank(*s)))
                    argument += *s++;
                continue;
            }
            argument.append(backslashes / 2, L'\\');
            if (backslashes % 2 == 1) {
                argument += L'"';
            } else if (quoted && s[1] == L'"') {
                argument += L'"';
                ++s;
            } else {
                quoted = !quoted;
            }
            ++s;
        }
        arguments.push_back(argument);
    }
}

} // namespace

// Linux has no module path to give for an empty line: the program's name stands for it.
LPWSTR *CommandLineToArgvW(LPCWSTR lpCmdLine, int *pNumArgs)
{
    if (lpCmdLine == nullptr || pNumArgs == nullptr)
        return nullptr;
    std::vector<std::wstring> arguments;
    if (*lpCmdLine == 0)
        arguments.emplace_back(L"quorvex");
    else
        split_arguments(split_program_name(lpCmdLine, arguments), arguments);

    // One block, freed by one LocalFree: the pointers, then the strings.
    std::size_t size = (arguments.size() + 1) * sizeof(LPWSTR);
    for (const std::wstring &argument : arguments)
        size += (argument.size() + 1) * sizeof(WCHAR);
    auto *block = static_cast<LPWSTR *>(std::malloc(size));
    if (block == nullptr)
        return nullptr;
    auto *text = reinterpret_cast<WCHAR *>(block + arguments.size() + 1);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        block[i] = text;
        std::wmemcpy(text, arguments[i].c_str(), arguments[i].size() + 1);
        text += arguments[i].size() + 1;
    }
    block[arguments.size()] = nullptr;
    *pNumArgs = static_cast<int>(arguments.size());
    return block;
}

HLOCAL LocalFree(HLOCAL hMem)
{
    std::free(hMem);
    return nullptr;
}
