// Wide strings (wchar_t, as the program writes them) to and from Qt's strings.
#pragma once

#include <QString>

#include "platform/platform.h"

namespace qtwindow {

// A null text reads as empty.
QString to_qstring(LPCWSTR text);
QString to_qstring(LPCWSTR text, int count);

} // namespace qtwindow
