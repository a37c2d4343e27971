#include "platform/qtwindow/client_window.h"

#include <QCloseEvent>
#include <QMargins>
#include <QPaintEvent>
#include <QPainter>

#include "platform/qtwindow/device_context.h"
#include "platform/qtwindow/gdi_objects.h"
#include "platform/qtwindow/resources.h"
#include "platform/qtwindow/text.h"

namespace qtwindow {

ClientWidget::ClientWidget(HWND handle, QWidget *parent) : QWidget(parent), handle_(handle) {}

void ClientWidget::paintEvent(QPaintEvent *event) { QPainter(this).drawImage(event->rect(), backing, event->rect()); }

void ClientWidget::closeEvent(QCloseEvent *event)
{
    event->ignore();
    SendMessageW(handle_, WM_CLOSE, 0, 0);
}

// What Windows takes from a window's outer size at 96 DPI: with a caption and no sizing border,
// a 3-pixel fixed frame all round and a 23-pixel caption.
static QMargins frame_of(DWORD style)
{
    return (style & WS_CAPTION) == WS_CAPTION ? QMargins(3, 26, 3, 3) : QMargins();
}

static Qt::WindowFlags top_level_flags(DWORD style)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint;
    if ((style & WS_CAPTION) == WS_CAPTION)
        flags |= Qt::WindowTitleHint;
    if ((style & WS_SYSMENU) != 0)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    return flags;
}

ClientWindow::ClientWindow(HWND handle, const WindowClass &window_class, const CREATESTRUCTW &create, QWidget *parent)
    : Window(handle, create, new ClientWidget(handle, parent)), procedure_(window_class.procedure),
      background_(window_class.background)
{
    QWidget &w = widget();
    const DWORD style = static_cast<DWORD>(create.style);
    if (parent == nullptr) {
        const QMargins frame = frame_of(style);
        w.setWindowFlags(top_level_flags(style));
        w.setFixedSize(create.cx - frame.left() - frame.right(), create.cy - frame.top() - frame.bottom());
        // A top-level widget's position is that of its frame, as CreateWindowExW's is.
        w.move(create.x, create.y);
        w.setWindowIcon(icon_of(window_class.icon != nullptr ? window_class.icon : window_class.small_icon));
    } else {
        w.setGeometry(create.x, create.y, create.cx, create.cy);
    }
    w.setWindowTitle(to_qstring(create.lpszName));
    client().backing = QImage(w.size(), QImage::Format_RGB32);
    client().backing.fill(Qt::white);
    invalid_ = QRegion(client().backing.rect());
}

LRESULT ClientWindow::procedure(UINT message, WPARAM wParam, LPARAM lParam)
{
    return procedure_(handle(), message, wParam, lParam);
}

LRESULT ClientWindow::default_procedure(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return Window::default_procedure(message, wParam, lParam);
    // Validates, erasing first if an erase is pending, so the same WM_PAINT does not come back.
    PAINTSTRUCT paint;
    BeginPaint(handle(), &paint);
    EndPaint(handle(), &paint);
    return 0;
}

bool ClientWindow::needs_paint() const { return !invalid_.isEmpty() && widget().isVisible(); }

void ClientWindow::invalidate(const RECT *rect, bool erase)
{
    const QRect whole = client().backing.rect();
    invalid_ += rect == nullptr ? whole : covered_pixels(*rect).intersected(whole);
    erase_pending_ = erase_pending_ || erase;
}

HDC ClientWindow::begin_paint(PAINTSTRUCT &paint)
{
    // As BeginPaint on Windows: the update region is taken, then validated.
    const QRegion region = invalid_;
    invalid_ = QRegion();
    const std::optional<QColor> background = brush_colour(background_);
    if (erase_pending_ && background) {
        QPainter eraser(&client().backing);
        eraser.setClipRegion(region);
        eraser.fillRect(client().backing.rect(), *background);
    }
    erase_pending_ = false;

    paint = {};
    paint.hdc = open_device_context(client().backing, region);
    const QRect bounds = region.boundingRect();
    paint.rcPaint = {bounds.left(), bounds.top(), bounds.left() + bounds.width(), bounds.top() + bounds.height()};
    return paint.hdc;
}

void ClientWindow::end_paint(const PAINTSTRUCT &paint)
{
    close_device_context(paint.hdc);
    // As on Windows, a window's repaint leaves its child controls alone: they are not drawn again
    // for it (the toolkit would restyle each one at every tick).
    QRegion shown(covered_pixels(paint.rcPaint));
    for (const QWidget *child : widget().findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (child->isVisible())
            shown -= child->geometry();
    widget().update(shown);
}

const QImage &ClientWindow::backing() const { return client().backing; }

ClientWidget &ClientWindow::client() const { return static_cast<ClientWidget &>(widget()); }

} // namespace qtwindow
