// The program's icons (its string table: string_table.h).
#pragma once

#include <QIcon>

#include "platform/platform.h"

namespace qtwindow {

// Null or unknown handles give an empty icon.
QIcon icon_of(HICON icon);

} // namespace qtwindow
