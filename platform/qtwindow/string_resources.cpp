#include <algorithm>

#include "platform/linux/wide_text.h"
#include "platform/qtwindow/string_table.h"

namespace qtwindow {

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

using namespace qtwindow;

// The read-only pointer form (a buffer size of 0) is not provided. Where Windows picks the table
// of the thread's language, this takes the English table's string through the catalogue of the
// locale's language.
int LoadStringW(HINSTANCE, UINT uID, LPWSTR lpBuffer, int cchBufferMax)
{
    const auto table = string_table();
    const auto found = std::find_if(table.begin(), table.end(), [&](const StringResource &s) { return s.id == uID; });
    if (found == table.end())
        return copy_text({}, lpBuffer, cchBufferMax);
    const std::string english = linux_platform::to_system_bytes(found->text);
    return copy_text(linux_platform::from_system_bytes(translated(english.c_str())), lpBuffer, cchBufferMax);
}
