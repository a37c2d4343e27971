// The test hooks that act as a user, look at windows, and reset the services.
#include "support/window_hooks.h"

#include <QScreen>
#include <QTest>

#include "platform/qtwindow/client_window.h"
#include "platform/qtwindow/device_context.h"
#include "platform/qtwindow/message_box.h"
#include "platform/qtwindow/message_loop.h"
#include "platform/qtwindow/timers.h"
#include "platform/qtwindow/window.h"
#include "platform/qtwindow/window_class.h"

namespace qtwindow {

void reset()
{
    // Painters go before the images they paint on.
    forget_device_contexts();
    forget_windows();
    forget_classes();
    forget_timers();
    forget_messages();
    forget_message_boxes();
    fail_window_creation(false);
}

QImage client_image(HWND hwnd)
{
    const auto *window = dynamic_cast<const ClientWindow *>(find_window(hwnd));
    return window == nullptr ? QImage() : window->backing().copy();
}

QImage window_image(HWND hwnd)
{
    const Window *window = find_window(hwnd);
    return window == nullptr ? QImage() : window->widget().grab().toImage();
}

QImage display_image(HWND hwnd)
{
    const Window *window = find_window(hwnd);
    if (window == nullptr)
        return {};
    QCoreApplication::sendPostedEvents();
    QWidget &widget = window->widget();
    return widget.screen()->grabWindow(widget.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

QWidget *widget_of(HWND hwnd)
{
    const Window *window = find_window(hwnd);
    return window == nullptr ? nullptr : &window->widget();
}

std::vector<HWND> children_of(HWND parent) { return child_windows(parent); }

std::vector<HWND> top_level_windows()
{
    std::vector<HWND> top_level;
    for (HWND hwnd : window_handles())
        if (find_window(hwnd)->parent() == nullptr)
            top_level.push_back(hwnd);
    return top_level;
}

void click(HWND control)
{
    QWidget *widget = widget_of(control);
    if (widget == nullptr)
        return;
    QWidget *top = widget->window();
    if (!top->isActiveWindow()) {
        top->activateWindow();
        if (!QTest::qWaitForWindowActive(top))
            qWarning("qtwindow: the window did not become active; the focus may not follow the click");
    }
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void type_text(HWND edit, std::wstring_view text)
{
    click(edit);
    QWidget *widget = widget_of(edit);
    if (widget == nullptr)
        return;
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(widget, QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size())));
}

void press_key(char key)
{
    if (QWidget *focus = QApplication::focusWidget())
        QTest::keyClick(focus, key);
}

void press_close_box(HWND hwnd)
{
    if (QWidget *widget = widget_of(hwnd))
        widget->window()->close();
}

} // namespace qtwindow
