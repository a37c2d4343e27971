// Keyboard accelerators. Windows queues every key for the message loop, which may translate it;
// here Qt's widgets take their keys at once, so only the keys an accelerator table names are taken
// out of Qt's input and queued as WM_KEYDOWN for the loop to translate.
#pragma once

#include <QApplication>

namespace qtwindow {

void watch_accelerator_keys(QApplication &app);

} // namespace qtwindow
