// Wide strings (wchar_t, as the program writes them) to and from Qt's strings.
#pragma once

#include <QString>
#include <string_view>

#include "platform/platform.h"

namespace qtwindow {

// A null text reads as empty.
QString to_qstring(LPCWSTR text);
QString to_qstring(LPCWSTR text, int count);

// Copies as Win32 does into a buffer of size characters: at most size - 1 of them and a
// terminator. Returns the number copied, terminator excluded.
int copy_text(std::wstring_view text, LPWSTR buffer, int size);

} // namespace qtwindow
