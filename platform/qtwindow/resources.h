// The program's resources: its string table and its icons.
#pragma once

#include <QIcon>

#include "platform/platform.h"

namespace qtwindow {

// Null or unknown handles give an empty icon.
QIcon icon_of(HICON icon);

} // namespace qtwindow
