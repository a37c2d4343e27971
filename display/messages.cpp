// The texts for people the program shows in its boxes or answers on the command line: the
// resource script's string table, in the user's language where it has one, else in English.
#include <string>

#include "display/display.h"

#ifdef _WIN32
// The string of the table block that holds id, in that language; empty when there is none.
static std::wstring string_in(UINT id, LANGID language)
{
    HRSRC found = FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    const auto *text =
        found == nullptr ? nullptr : static_cast<const WCHAR *>(LockResource(LoadResource(nullptr, found)));
    if (text == nullptr)
        return {};
    // A block holds 16 strings, each its length followed by its characters.
    for (UINT i = 0; i < id % 16; ++i)
        text += 1 + *text;
    return std::wstring(text + 1, *text);
}
#endif

static std::wstring string_resource(UINT id)
{
#ifdef _WIN32
    // LoadStringW would go by the thread's language; the user's choice of language for Windows
    // itself is the one that counts.
    std::wstring text = string_in(id, GetUserDefaultUILanguage());
    return text.empty() ? string_in(id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)) : text;
#else
    WCHAR text[4096];
    return std::wstring(text, static_cast<std::size_t>(LoadStringW(nullptr, id, text, 4096)));
#endif
}

std::wstring message_text(UINT id, std::initializer_list<std::wstring> values)
{
    const std::wstring text = string_resource(id);
    std::wstring filled;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t number = i + 1 < text.size() ? static_cast<std::size_t>(text[i + 1] - L'1') : values.size();
        if (text[i] == L'%' && number < values.size()) {
            filled += values.begin()[number];
            ++i;
        } else {
            filled += text[i];
        }
    }
    return filled;
}
