// Window classes: what RegisterClassExW keeps for the windows created from a class.
#pragma once

#include <QString>

#include "platform/platform.h"

namespace qtwindow {

struct WindowClass {
    QString name;
    WNDPROC procedure;
    HICON icon;
    HICON small_icon;
    HBRUSH background;
};

// Class names compare without regard to case, as on Windows.
const WindowClass *find_class(const QString &name);
void forget_classes();

} // namespace qtwindow
