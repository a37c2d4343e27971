#include "platform/qtwindow/drawn_texts.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qtwindow {

namespace {

// What a slot holds at most; a longer text or a larger area is drawn every time. The window's
// longest header has 43 characters and covers about 4,000 pixels.
const int longest_text = 64;
const int largest_area = 6144;
// More than a repaint draws, so none of its texts pushes out another: 27 in alignment mode with
// three ISDB-T layers' lines.
const int entry_count = 32;

struct Slot {
    const Typeface *face = nullptr;
    std::array<char16_t, longest_text> text{};
    qsizetype length = 0;
    QRgb colour = 0;
    bool opaque = false;
    QPoint top_left;
    QRect area;
    // The area's pixels row by row, before and after the draw. They only grow: memory stays flat
    // however many texts a monitor shows over days.
    std::vector<QRgb> before;
    std::vector<QRgb> after;
    // When the slot was last kept or replayed; 0 while it holds nothing.
    std::uint64_t used = 0;
};

struct Store {
    std::vector<Slot> entries = std::vector<Slot>(entry_count);
    std::uint64_t clock = 0;
};

} // namespace

static Store &store()
{
    static Store kept;
    return kept;
}

static bool same_draw(const Slot &slot, const TextDraw &draw)
{
    return slot.used != 0 && slot.face == draw.face && slot.colour == draw.colour && slot.opaque == draw.opaque &&
           slot.top_left == draw.top_left && slot.area == draw.area && slot.length == draw.text.size() &&
           std::equal(draw.text.utf16(), draw.text.utf16() + draw.text.size(), slot.text.begin());
}

// The image's pixels in the area, row by row.
static std::size_t row_bytes(const QRect &area) { return static_cast<std::size_t>(area.width()) * sizeof(QRgb); }
static const uchar *row_of(const QImage &image, const QRect &area, int y)
{
    return image.constBits() + y * image.bytesPerLine() + area.left() * static_cast<qsizetype>(sizeof(QRgb));
}

static bool holds(const QImage &image, const QRect &area, const QRgb *pixels)
{
    for (int y = area.top(); y <= area.bottom(); ++y, pixels += area.width())
        if (std::memcmp(row_of(image, area, y), pixels, row_bytes(area)) != 0)
            return false;
    return true;
}

static void copy_out(const QImage &image, const QRect &area, QRgb *pixels)
{
    for (int y = area.top(); y <= area.bottom(); ++y, pixels += area.width())
        std::memcpy(pixels, row_of(image, area, y), row_bytes(area));
}

static void copy_in(QImage &image, const QRect &area, const QRgb *pixels)
{
    uchar *const bits = image.bits();
    for (int y = area.top(); y <= area.bottom(); ++y, pixels += area.width())
        std::memcpy(bits + (row_of(image, area, y) - image.constBits()), pixels, row_bytes(area));
}

bool replay_text(QImage &image, const TextDraw &draw)
{
    for (Slot &slot : store().entries) {
        if (same_draw(slot, draw) && holds(image, draw.area, slot.before.data())) {
            copy_in(image, draw.area, slot.after.data());
            slot.used = ++store().clock;
            return true;
        }
    }
    return false;
}

TextKeeping::TextKeeping(const QImage &image, const TextDraw &draw) : slot_(-1)
{
    if (image.format() != QImage::Format_RGB32 || draw.text.size() > longest_text || draw.area.isEmpty() ||
        draw.area.width() * draw.area.height() > largest_area || !image.rect().contains(draw.area))
        return;
    // The one used longest ago, or an empty one.
    const auto oldest = std::min_element(store().entries.begin(), store().entries.end(),
                                         [](const Slot &a, const Slot &b) { return a.used < b.used; });
    slot_ = static_cast<int>(oldest - store().entries.begin());
    Slot &slot = *oldest;
    slot.used = 0;
    slot.face = draw.face;
    std::copy_n(draw.text.utf16(), draw.text.size(), slot.text.begin());
    slot.length = draw.text.size();
    slot.colour = draw.colour;
    slot.opaque = draw.opaque;
    slot.top_left = draw.top_left;
    slot.area = draw.area;
    const auto pixels = static_cast<std::size_t>(draw.area.width()) * static_cast<std::size_t>(draw.area.height());
    slot.before.resize(std::max(slot.before.size(), pixels));
    slot.after.resize(std::max(slot.after.size(), pixels));
    copy_out(image, draw.area, slot.before.data());
}

void TextKeeping::kept(const QImage &image)
{
    if (slot_ < 0)
        return;
    Slot &slot = store().entries[static_cast<std::size_t>(slot_)];
    copy_out(image, slot.area, slot.after.data());
    slot.used = ++store().clock;
}

} // namespace qtwindow
