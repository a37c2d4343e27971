#include "platform/qtwindow/text.h"

#include <algorithm>

namespace qtwindow {

QString to_qstring(LPCWSTR text) { return text == nullptr ? QString() : QString::fromWCharArray(text); }

QString to_qstring(LPCWSTR text, int count)
{
    return text == nullptr || count <= 0 ? QString() : QString::fromWCharArray(text, count);
}

int copy_text(std::wstring_view text, LPWSTR buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return 0;
    const auto count = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::copy_n(text.begin(), count, buffer);
    buffer[count] = L'\0';
    return static_cast<int>(count);
}

} // namespace qtwindow
