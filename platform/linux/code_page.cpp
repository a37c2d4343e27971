// Wide text to bytes for the one code page the system uses, UTF-8. Text that came from the
// system's bytes goes back to exactly those bytes, so a file name in a diagnostic reads as typed.
#include <algorithm>
#include <cwchar>
#include <string>

#include "platform/linux/wide_text.h"
#include "platform/platform.h"

int WideCharToMultiByte(UINT CodePage, DWORD, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR, BOOL *lpUsedDefaultChar)
{
    if (CodePage != CP_UTF8 || lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0)
        return 0;
    if (lpUsedDefaultChar != nullptr)
        return 0; // as Windows: no default character exists for UTF-8
    // -1: the text ends at its terminator, which is converted too.
    const std::size_t length =
        cchWideChar == -1 ? std::wcslen(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar);
    const std::string bytes = linux_platform::to_system_bytes(std::wstring_view(lpWideCharStr, length));
    if (cbMultiByte == 0)
        return static_cast<int>(bytes.size());
    if (bytes.size() > static_cast<std::size_t>(cbMultiByte))
        return 0;
    std::copy(bytes.begin(), bytes.end(), lpMultiByteStr);
    return static_cast<int>(bytes.size());
}
