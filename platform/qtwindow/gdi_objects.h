// GDI objects: pens, brushes and fonts behind their handles, and the system colours.
#pragma once

#include <QColor>
#include <QRect>
#include <optional>
#include <variant>

#include "platform/platform.h"
#include "platform/qtwindow/fonts.h"

namespace qtwindow {

struct Pen {
    int style;
    int width;
    COLORREF colour;
};

struct Brush {
    COLORREF colour;
};

struct Font {
    const Typeface *face;
};

using GdiObject = std::variant<Pen, Brush, Font>;

const GdiObject *find_object(HGDIOBJ handle);

QColor to_qcolor(COLORREF colour);

// The pixels a Win32 rectangle covers: its right and bottom edges are left out.
QRect covered_pixels(const RECT &rect);

// A brush handle, or a system colour's index plus one as window classes and FillRect take it.
std::optional<QColor> brush_colour(HBRUSH brush);

} // namespace qtwindow
