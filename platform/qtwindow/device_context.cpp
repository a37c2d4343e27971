#include "platform/qtwindow/device_context.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/qtwindow/handle_table.h"

namespace qtwindow {

DeviceContext::DeviceContext(QImage &target, const QRegion &clip)
    : image(target), whole(clip == QRegion(target.rect())), pen_handle(GetStockObject(BLACK_PEN)),
      pen(std::get<Pen>(*find_object(pen_handle))), brush_handle(GetStockObject(WHITE_BRUSH)),
      brush(std::get<Brush>(*find_object(brush_handle))), font_handle(GetStockObject(SYSTEM_FONT)),
      font(std::get<Font>(*find_object(font_handle)).face), clip_(clip)
{
}

QPainter &DeviceContext::painter()
{
    if (!painter_.isActive()) {
        painter_.begin(&image);
        // A clip that covers the whole image clips nothing, and would make every fill pay for it.
        if (!whole)
            painter_.setClipRegion(clip_);
    }
    return painter_;
}

// Up to this width a fill is stored column by column; a wider one stores its first row and copies
// it into the others.
static const int narrow = 16;

void DeviceContext::fill(const QRect &pixels, const QColor &colour)
{
    // The toolkit's fill pays for each call and each row it starts, several times what storing the
    // pixels costs: when nothing clips, they go straight into the image.
    const QRect inside = pixels.intersected(image.rect());
    if (!whole || image.format() != QImage::Format_RGB32) {
        painter().fillRect(pixels, colour);
        return;
    }
    if (inside.isEmpty())
        return;
    const QRgb value = colour.rgb();
    const qsizetype stride = image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    QRgb *const first = reinterpret_cast<QRgb *>(image.bits()) + inside.top() * stride + inside.left();
    QRgb *const end = first + inside.height() * stride;
    if (inside.width() <= narrow) {
        // Most are one pixel wide: the grid's and the bars' upright lines.
        for (QRgb *column = first; column < first + inside.width(); ++column)
            for (QRgb *pixel = column; pixel < end; pixel += stride)
                *pixel = value;
        return;
    }
    std::fill_n(first, inside.width(), value);
    const std::size_t row_bytes = static_cast<std::size_t>(inside.width()) * sizeof(QRgb);
    for (QRgb *row = first + stride; row < end; row += stride)
        std::memcpy(row, first, row_bytes);
}

static HandleTable<HDC, std::unique_ptr<DeviceContext>> &device_contexts()
{
    // Never destroyed: Qt's own statics may be gone when static destructors run at exit.
    static auto *table = new HandleTable<HDC, std::unique_ptr<DeviceContext>>(0x8000);
    return *table;
}

HDC open_device_context(QImage &image, const QRegion &clip)
{
    return device_contexts().add([&](HDC) { return std::make_unique<DeviceContext>(image, clip); });
}

DeviceContext *find_device_context(HDC hdc)
{
    std::unique_ptr<DeviceContext> *dc = device_contexts().find(hdc);
    return dc == nullptr ? nullptr : dc->get();
}

void close_device_context(HDC hdc) { device_contexts().erase(hdc); }

void forget_device_contexts()
{
    std::vector<HDC> open;
    for (const auto &[handle, dc] : device_contexts())
        open.push_back(handle);
    for (HDC hdc : open)
        close_device_context(hdc);
}

} // namespace qtwindow

using namespace qtwindow;

// Replaces the selection of the object's kind and gives back the handle it replaced.
template <class Value> static HGDIOBJ exchange(HGDIOBJ &handle, Value &value, HGDIOBJ next, const Value &copy)
{
    const HGDIOBJ previous = handle;
    handle = next;
    value = copy;
    return previous;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h)
{
    DeviceContext *dc = find_device_context(hdc);
    const GdiObject *object = find_object(h);
    if (dc == nullptr || object == nullptr)
        return nullptr;
    if (const auto *pen = std::get_if<Pen>(object))
        return exchange(dc->pen_handle, dc->pen, h, *pen);
    if (const auto *brush = std::get_if<Brush>(object))
        return exchange(dc->brush_handle, dc->brush, h, *brush);
    return exchange(dc->font_handle, dc->font, h, std::get<Font>(*object).face);
}

COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    DeviceContext *dc = find_device_context(hdc);
    if (dc == nullptr)
        return CLR_INVALID;
    const COLORREF previous = dc->text_colour;
    dc->text_colour = color;
    return previous;
}

int SetBkMode(HDC hdc, int mode)
{
    DeviceContext *dc = find_device_context(hdc);
    if (dc == nullptr || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    const int previous = dc->background_mode;
    dc->background_mode = mode;
    return previous;
}
