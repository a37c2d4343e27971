#include "platform/qtwindow/text.h"

namespace qtwindow {

QString to_qstring(LPCWSTR text) { return text == nullptr ? QString() : QString::fromWCharArray(text); }

QString to_qstring(LPCWSTR text, int count)
{
    return text == nullptr || count <= 0 ? QString() : QString::fromWCharArray(text, count);
}
} // namespace qtwindow
