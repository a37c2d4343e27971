// The C runtime's wide-string conversion that glibc lacks.
#include <climits>
#include <cwchar>

#include "platform/platform.h"

// Leading blanks, a sign, then digits up to the first non-digit; 0 when there are none. Values
// beyond int saturate, as with Microsoft's runtime.
int _wtoi(const wchar_t *str)
{
    if (str == nullptr)
        return 0;
    const long value = std::wcstol(str, nullptr, 10);
    return value > INT_MAX ? INT_MAX : (value < INT_MIN ? INT_MIN : static_cast<int>(value));
}
