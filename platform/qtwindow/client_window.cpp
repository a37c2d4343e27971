#include "platform/qtwindow/client_window.h"

#include <cstring>

#include <QCloseEvent>
#include <QMargins>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include "platform/qtwindow/device_context.h"
#include "platform/qtwindow/gdi_objects.h"
#include "platform/qtwindow/resources.h"
#include "platform/qtwindow/text.h"

namespace qtwindow {

ClientWidget::ClientWidget(HWND handle, QWidget *parent) : QWidget(parent), handle_(handle)
{
    // Each paint covers all it is asked for from the backing image: no background under it.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// The image a paint goes to, when the backing image's rows can be copied into it: 32 bits a pixel
// (an RGB32 pixel is 0xffRRGGBB, the same bits as the opaque pixel of either ARGB32 format) at the
// same scale. Null otherwise.
static QImage *taking_rows(QPaintDevice *device)
{
    if (device == nullptr || device->devType() != QInternal::Image)
        return nullptr;
    auto *image = static_cast<QImage *>(device);
    const QImage::Format format = image->format();
    const bool opaque_32_bit = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
                               format == QImage::Format_ARGB32_Premultiplied;
    return opaque_32_bit && image->devicePixelRatio() == 1.0 ? image : nullptr;
}

// The region's rows of the backing image into the target, whose pixels are offset from it.
static void copy_rows(const QImage &backing, const QRegion &region, QImage &target, QPoint offset)
{
    for (const QRect &area : region) {
        const QRect rows = area & backing.rect() & target.rect().translated(-offset);
        const auto pixel_bytes = static_cast<qsizetype>(sizeof(QRgb));
        for (int y = rows.top(); y <= rows.bottom(); ++y)
            std::memcpy(target.scanLine(y + offset.y()) + (rows.left() + offset.x()) * pixel_bytes,
                        backing.constScanLine(y) + rows.left() * pixel_bytes,
                        static_cast<std::size_t>(rows.width() * pixel_bytes));
    }
}

// The toolkit hands an image drawn over more than a few dozen rows to worker threads, waking two
// of them at every repaint, which costs more than the copy itself.
void ClientWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    QImage *target = taking_rows(painter.paintEngine()->paintDevice());
    const QTransform to_device = painter.deviceTransform();
    if (target == nullptr || to_device.type() > QTransform::TxTranslate) {
        painter.drawImage(event->rect(), backing, event->rect());
        return;
    }
    painter.end();
    copy_rows(backing, event->region(), *target, QPoint(qRound(to_device.dx()), qRound(to_device.dy())));
}

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
    client().shown = client().backing.copy();
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

// Brings what the widget was last given up to the backing image in the area, and gives back what
// changed there: for each run of changed rows, the rectangle over the columns that changed in any
// of them. Within a run, a later row is only searched outside the columns already found.
static QRegion take_changes(const QImage &backing, QImage &shown, const QRect &area)
{
    const auto bytes = [](int pixels) { return static_cast<std::size_t>(pixels) * sizeof(QRgb); };
    QRegion changed;
    int top = -1;            // of the run, while there is one
    int left = area.width(); // columns from the area's left
    int right = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto *now = reinterpret_cast<const QRgb *>(backing.constScanLine(y)) + area.left();
        auto *was = reinterpret_cast<QRgb *>(shown.scanLine(y)) + area.left();
        const bool differs = std::memcmp(now, was, bytes(area.width())) != 0;
        if (differs) {
            top = top < 0 ? y : top;
            if (left > 0 && std::memcmp(now, was, bytes(left)) != 0)
                for (left = 0; now[left] == was[left]; ++left) {
                }
            const int past = right + 1;
            if (past < area.width() && std::memcmp(now + past, was + past, bytes(area.width() - past)) != 0)
                for (right = area.width() - 1; now[right] == was[right]; --right) {
                }
            std::memcpy(was, now, bytes(area.width()));
        }
        if (top >= 0 && (!differs || y == area.bottom())) {
            changed += QRect(QPoint(area.left() + left, top), QPoint(area.left() + right, differs ? y : y - 1));
            top = -1;
            left = area.width();
            right = -1;
        }
    }
    return changed;
}

void ClientWindow::end_paint(const PAINTSTRUCT &paint)
{
    close_device_context(paint.hdc);
    // A repaint mostly draws again what is there: only what changed is given to the widget, which
    // spares the toolkit's composing and the display's copying of the rest.
    ClientWidget &widget = client();
    QRegion shown =
        take_changes(widget.backing, widget.shown, covered_pixels(paint.rcPaint).intersected(widget.backing.rect()));
    // As on Windows, a window's repaint leaves its child controls alone: they are not drawn again
    // for it (the toolkit would restyle each one at every tick).
    for (const QWidget *child : widget.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (child->isVisible())
            shown -= child->geometry();
    if (!shown.isEmpty())
        widget.update(shown);
}

const QImage &ClientWindow::backing() const { return client().backing; }

ClientWidget &ClientWindow::client() const { return static_cast<ClientWidget &>(widget()); }

} // namespace qtwindow
