#include "platform/qtwindow/gdi_objects.h"

#include <algorithm>
#include <map>

#include "platform/qtwindow/fonts.h"
#include "platform/qtwindow/handle_table.h"
#include "platform/qtwindow/seams.h"
#include "platform/qtwindow/text.h"

namespace qtwindow {

struct Entry {
    GdiObject object;
    bool stock;
};

// Above the values 1 to 31 that stand for system colours where a brush is expected.
static const std::uintptr_t first_object_handle = 0x1000;

static HandleTable<HGDIOBJ, Entry> &objects()
{
    // Never destroyed: Qt's own statics may be gone when static destructors run at exit.
    static auto *table = new HandleTable<HGDIOBJ, Entry>(first_object_handle);
    return *table;
}

static HGDIOBJ add_object(const GdiObject &object, bool stock = false)
{
    return objects().add([&](HGDIOBJ) { return Entry{object, stock}; });
}

// A device context starts with these: the black pen, the white brush and the bold system font.
static const std::map<int, HGDIOBJ> &stock_objects()
{
    static const std::map<int, HGDIOBJ> stock = {
        {BLACK_PEN, add_object(Pen{PS_SOLID, 1, RGB(0, 0, 0)}, true)},
        {WHITE_BRUSH, add_object(Brush{RGB(255, 255, 255)}, true)},
        {SYSTEM_FONT, add_object(Font{&typeface(16, 700, false, false, false, "System")}, true)},
    };
    return stock;
}

const GdiObject *find_object(HGDIOBJ handle)
{
    stock_objects();
    const Entry *entry = objects().find(handle);
    return entry == nullptr ? nullptr : &entry->object;
}

std::size_t live_gdi_objects()
{
    return static_cast<std::size_t>(
        std::count_if(objects().begin(), objects().end(), [](const auto &entry) { return !entry.second.stock; }));
}

QColor to_qcolor(COLORREF colour) { return {GetRValue(colour), GetGValue(colour), GetBValue(colour)}; }

QRect covered_pixels(const RECT &rect)
{
    return {QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1)};
}

// The system colours the program uses; their values are the platform's to choose.
static std::optional<QColor> system_colour(std::uintptr_t index)
{
    if (index == COLOR_MENU)
        return QColor(240, 240, 240);
    return std::nullopt;
}

std::optional<QColor> brush_colour(HBRUSH brush)
{
    const auto value = reinterpret_cast<std::uintptr_t>(brush);
    if (value >= 1 && value <= 31)
        return system_colour(value - 1);
    const GdiObject *object = find_object(brush);
    if (const auto *solid = object == nullptr ? nullptr : std::get_if<Brush>(object))
        return to_qcolor(solid->colour);
    return std::nullopt;
}

} // namespace qtwindow

using namespace qtwindow;

HFONT CreateFontW(int cHeight, int, int, int, int cWeight, DWORD bItalic, DWORD bUnderline, DWORD bStrikeOut, DWORD,
                  DWORD, DWORD, DWORD, DWORD, LPCWSTR pszFaceName)
{
    // Width, angles, charset, precision, quality and pitch are the toolkit's to settle.
    return static_cast<HFONT>(add_object(
        Font{&typeface(cHeight, cWeight, bItalic != 0, bUnderline != 0, bStrikeOut != 0, to_qstring(pszFaceName))}));
}

HPEN CreatePen(int iStyle, int cWidth, COLORREF color)
{
    if (iStyle != PS_SOLID)
        return nullptr;
    // Width 0 is the one-pixel pen, as on Windows.
    return static_cast<HPEN>(add_object(Pen{iStyle, cWidth < 1 ? 1 : cWidth, color}));
}

HBRUSH CreateSolidBrush(COLORREF color) { return static_cast<HBRUSH>(add_object(Brush{color})); }

HGDIOBJ GetStockObject(int i)
{
    const auto found = stock_objects().find(i);
    return found == stock_objects().end() ? nullptr : found->second;
}

BOOL DeleteObject(HGDIOBJ ho)
{
    stock_objects();
    const Entry *entry = objects().find(ho);
    if (entry == nullptr)
        return FALSE;
    // Deleting a stock object is allowed and does nothing.
    if (!entry->stock)
        objects().erase(ho);
    return TRUE;
}
