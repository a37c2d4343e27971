// Lines of text drawn before, kept with the pixels under them before and after the draw. A repaint
// draws the same labels at the same places on the same pixels at nearly every tick; a draw that is
// the same in everything its pixels depend on gives the same pixels, so they are copied instead.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include "platform/qtwindow/fonts.h"

namespace qtwindow {

// Everything a line of text's pixels depend on besides the pixels under it, and the area that
// holds every pixel the draw may change (its cell and its glyphs).
struct TextDraw {
    const Typeface *face;
    const QString &text;
    QRgb colour;
    bool opaque;
    QPoint top_left;
    QRect area;
};

// Copies into the image what the same draw made of the same pixels before; false when no such
// draw is kept.
bool replay_text(QImage &image, const TextDraw &draw);

// Keeps what a draw makes of the area: construct it before drawing, and call kept() after.
class TextKeeping {
public:
    TextKeeping(const QImage &image, const TextDraw &draw);
    void kept(const QImage &image);

private:
    int slot_;
};

} // namespace qtwindow
