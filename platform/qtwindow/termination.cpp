#include "platform/qtwindow/termination.h"

#include <QApplication>
#include <QSocketNotifier>

#include "platform/linux/termination.h"
#include "platform/qtwindow/message_box.h"
#include "platform/qtwindow/message_loop.h"
#include "platform/qtwindow/window.h"

namespace qtwindow {

namespace {

void close_top_level_windows()
{
    linux_platform::take_termination_requests();
    answer_message_boxes();
    for (HWND hwnd : window_handles()) {
        const Window *window = find_window(hwnd);
        if (window->parent() == nullptr && !window->destroying)
            post_close(hwnd);
    }
}

} // namespace

void hear_termination_requests()
{
    const int requests = linux_platform::termination_requests();
    if (requests < 0)
        return;
    auto *notifier = new QSocketNotifier(requests, QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, close_top_level_windows);
}

} // namespace qtwindow
