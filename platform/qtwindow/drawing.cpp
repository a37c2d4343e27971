// Text and shapes on a device context, with Win32's pixel rules: rectangles and lines leave out
// their right and bottom edges and their end point.
#include <QGlyphRun>
#include <QStringList>
#include <algorithm>
#include <cwchar>

#include "platform/platform.h"
#include "platform/qtwindow/device_context.h"
#include "platform/qtwindow/drawn_texts.h"
#include "platform/qtwindow/fonts.h"
#include "platform/qtwindow/text.h"

using namespace qtwindow;

// The background colour keeps Windows' default: nothing in the program changes it.
static const QColor text_background(255, 255, 255);

static void draw_glyphs(DeviceContext &dc, QPoint top_left, const ShapedText &text)
{
    if (dc.background_mode == OPAQUE)
        dc.fill(QRect(top_left, QSize(text.width, dc.font->height())), text_background);
    dc.painter().setPen(to_qcolor(dc.text_colour));
    const QPointF origin(top_left.x(), top_left.y() + dc.font->ascent());
    for (const QGlyphRun &run : text.runs)
        dc.painter().drawGlyphRun(origin, run);
}

// One line with its top-left corner at the point, on the background colour in opaque mode. When
// nothing clips it, the same line drawn on the same pixels before is copied instead.
static void draw_line_of_text(DeviceContext &dc, QPoint top_left, const QString &string, const ShapedText &text)
{
    if (!dc.whole) {
        draw_glyphs(dc, top_left, text);
        return;
    }
    // The cell and the glyphs, with a margin for their smoothing.
    QRect area(top_left, QSize(text.width, dc.font->height()));
    if (!text.ink.isEmpty())
        area |=
            text.ink.translated(top_left.x(), top_left.y() + dc.font->ascent()).toAlignedRect().adjusted(-2, -2, 2, 2);
    const TextDraw draw{
        dc.font, string, dc.text_colour, dc.background_mode == OPAQUE, top_left, area.intersected(dc.image.rect())};
    if (replay_text(dc.image, draw))
        return;
    TextKeeping keeping(dc.image, draw);
    draw_glyphs(dc, top_left, text);
    keeping.kept(dc.image);
}

static QPen qpen(const Pen &pen) { return {to_qcolor(pen.colour), static_cast<qreal>(pen.width)}; }

// A one-pixel pen covers whole pixels: its straight strokes are filled spans, which cost far less
// than the toolkit's stroking and give the same pixels.
static bool thin(const Pen &pen) { return pen.width == 1; }
static int sign(int value) { return (value > 0) - (value < 0); }
// The pixels of the rectangle with these two corners, both included.
static QRect between(QPoint a, QPoint b)
{
    return {QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
            QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y()))};
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR lpString, int c)
{
    DeviceContext *dc = find_device_context(hdc);
    if (dc == nullptr || c < 0 || (c > 0 && lpString == nullptr))
        return FALSE;
    const QString text = to_qstring(lpString, c);
    draw_line_of_text(*dc, QPoint(x, y), text, dc->font->shaped(text));
    return TRUE;
}

int DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format)
{
    DeviceContext *dc = find_device_context(hdc);
    if (dc == nullptr || lpchText == nullptr || lprc == nullptr)
        return 0;
    const QString text = cchText < 0 ? to_qstring(lpchText) : to_qstring(lpchText, cchText);
    QStringList lines;
    if ((format & DT_SINGLELINE) != 0) {
        lines.append(text);
    } else {
        // Lines end at "\r\n", "\r" or "\n".
        qsizetype start = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] != u'\r' && text[i] != u'\n')
                continue;
            lines.append(text.mid(start, i - start));
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
        lines.append(text.mid(start));
    }
    const QRect box = covered_pixels(*lprc);
    const int height = static_cast<int>(lines.size()) * dc->font->height();

    // Vertical placement applies to a single line only; otherwise text starts at the top.
    int y = box.top();
    if ((format & DT_SINGLELINE) != 0 && (format & DT_VCENTER) != 0)
        y += (box.height() - height) / 2;
    else if ((format & DT_SINGLELINE) != 0 && (format & DT_BOTTOM) != 0)
        y += box.height() - height;

    // Clipped to the rectangle; clipping costs, so only a line that reaches outside it pays.
    for (const QString &line : lines) {
        const ShapedText &shaped = dc->font->shaped(line);
        int x = box.left();
        if ((format & DT_CENTER) != 0)
            x += (box.width() - shaped.width) / 2;
        else if ((format & DT_RIGHT) != 0)
            x += box.width() - shaped.width;
        const QPoint top_left(x, y);
        const QRect cell(top_left, QSize(shaped.width, dc->font->height()));
        const QRectF ink = shaped.ink.translated(x, y + dc->font->ascent());
        if (box.contains(cell) && QRectF(box).contains(ink)) {
            draw_line_of_text(*dc, top_left, line, shaped);
        } else {
            dc->painter().save();
            dc->painter().setClipRect(box, Qt::IntersectClip);
            draw_glyphs(*dc, top_left, shaped);
            dc->painter().restore();
        }
        y += dc->font->height();
    }
    return height;
}

int FillRect(HDC hDC, const RECT *lprc, HBRUSH hbr)
{
    DeviceContext *dc = find_device_context(hDC);
    const std::optional<QColor> colour = brush_colour(hbr);
    if (dc == nullptr || lprc == nullptr || !colour)
        return 0;
    dc->fill(covered_pixels(*lprc), *colour);
    return 1;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    DeviceContext *dc = find_device_context(hdc);
    if (dc == nullptr)
        return FALSE;
    const QRect box = covered_pixels({left, top, right, bottom});
    if (box.isEmpty())
        return TRUE;
    if (thin(dc->pen)) {
        const QColor outline = to_qcolor(dc->pen.colour);
        dc->fill(QRect(box.left(), box.top(), box.width(), 1), outline);
        dc->fill(QRect(box.left(), box.bottom(), box.width(), 1), outline);
        dc->fill(QRect(box.left(), box.top(), 1, box.height()), outline);
        dc->fill(QRect(box.right(), box.top(), 1, box.height()), outline);
        dc->fill(box.adjusted(1, 1, -1, -1), to_qcolor(dc->brush.colour));
        return TRUE;
    }
    dc->fill(box, to_qcolor(dc->brush.colour));
    dc->painter().setPen(qpen(dc->pen));
    dc->painter().setBrush(Qt::NoBrush);
    // Qt strokes a rectangle one pixel wider and taller than its size.
    dc->painter().drawRect(box.adjusted(0, 0, -1, -1));
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT lppt)
{
    DeviceContext *dc = find_device_context(hdc);
    if (dc == nullptr)
        return FALSE;
    if (lppt != nullptr)
        *lppt = {dc->position.x(), dc->position.y()};
    dc->position = QPoint(x, y);
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y)
{
    DeviceContext *dc = find_device_context(hdc);
    if (dc == nullptr)
        return FALSE;
    const QPoint start = dc->position;
    const QPoint end(x, y);
    dc->position = end;
    if (thin(dc->pen) && (start.x() == end.x() || start.y() == end.y())) {
        // The pixels from the start to the one before the end.
        if (start != end) {
            const QPoint step(sign(end.x() - start.x()), sign(end.y() - start.y()));
            dc->fill(between(start, end - step), to_qcolor(dc->pen.colour));
        }
        return TRUE;
    }
    dc->painter().save();
    // Qt draws both end points; Windows leaves the last one out.
    const QRect device(QPoint(0, 0), QSize(dc->painter().device()->width(), dc->painter().device()->height()));
    dc->painter().setClipRegion(QRegion(device).subtracted(QRect(end, QSize(1, 1))), Qt::IntersectClip);
    dc->painter().setPen(qpen(dc->pen));
    dc->painter().drawLine(start, end);
    dc->painter().restore();
    return TRUE;
}
