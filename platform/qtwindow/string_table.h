// The string table of the program's resource script, generated from it at build time, and
// LoadStringW over it: free of Qt, for both window services (window_common.h).
#pragma once

#include <span>
#include <string_view>

#include "platform/platform.h"

namespace qtwindow {

struct StringResource {
    UINT id;
    const wchar_t *text;
};

std::span<const StringResource> string_table();

// Copies as Win32 does into a buffer of size characters: at most size - 1 of them and a
// terminator. Returns the number copied, terminator excluded.
int copy_text(std::wstring_view text, LPWSTR buffer, int size);

} // namespace qtwindow
