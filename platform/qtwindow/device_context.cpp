#include "platform/qtwindow/device_context.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/qtwindow/handle_table.h"

namespace qtwindow {

DeviceContext::DeviceContext(QImage &target, const QRegion &clip)
    : painter(&target), image(target), whole(clip == QRegion(target.rect())), pen_handle(GetStockObject(BLACK_PEN)),
      pen(std::get<Pen>(*find_object(pen_handle))), brush_handle(GetStockObject(WHITE_BRUSH)),
      brush(std::get<Brush>(*find_object(brush_handle))), font_handle(GetStockObject(SYSTEM_FONT)),
      font(std::get<Font>(*find_object(font_handle)).face)
{
    // A clip that covers the whole image clips nothing, and would make every fill pay for it.
    if (!whole)
        painter.setClipRegion(clip);
}

void DeviceContext::fill(const QRect &pixels, const QColor &colour)
{
    // The toolkit's fill is quick along a row but pays for each row it starts: narrow spans (lines,
    // outlines, bars) go straight into the image's rows when nothing clips them.
    const QRect inside = pixels.intersected(image.rect());
    if (!whole || image.format() != QImage::Format_RGB32 || inside.width() > 16) {
        painter.fillRect(pixels, colour);
        return;
    }
    if (inside.isEmpty())
        return;
    const QRgb value = colour.rgb();
    const qsizetype stride = image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    QRgb *row = reinterpret_cast<QRgb *>(image.bits()) + inside.top() * stride + inside.left();
    for (int y = 0; y < inside.height(); ++y, row += stride)
        for (int x = 0; x < inside.width(); ++x)
            row[x] = value;
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
