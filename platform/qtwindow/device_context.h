// Device contexts: a painter over a window's backing image and the drawing state Windows keeps
// with it.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRegion>

#include "platform/platform.h"
#include "platform/qtwindow/gdi_objects.h"

namespace qtwindow {

struct DeviceContext {
    // Drawing is clipped to the region, as BeginPaint clips to the update region.
    DeviceContext(QImage &target, const QRegion &clip);

    // Solid, opaque, whole pixels: what GDI's fills, outlines and one-pixel lines come to.
    void fill(const QRect &pixels, const QColor &colour);
    // The toolkit's painter over the image, begun when first asked for: a repaint that only fills
    // and draws texts drawn before needs none.
    QPainter &painter();

    QImage &image;
    // Set when the paint covers the whole image: nothing drawn is clipped.
    bool whole;
    // Selected objects: the handle SelectObject gives back, and a copy that outlives DeleteObject.
    HGDIOBJ pen_handle;
    Pen pen;
    HGDIOBJ brush_handle;
    Brush brush;
    HGDIOBJ font_handle;
    const Typeface *font;
    int background_mode = OPAQUE;
    COLORREF text_colour = RGB(0, 0, 0);
    QPoint position;

private:
    QPainter painter_;
    QRegion clip_;
};

HDC open_device_context(QImage &image, const QRegion &clip);
DeviceContext *find_device_context(HDC hdc);
void close_device_context(HDC hdc);
void forget_device_contexts();

} // namespace qtwindow
