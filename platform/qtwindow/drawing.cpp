// Text and shapes on a device context, with Win32's pixel rules: rectangles and lines leave out
// their right and bottom edges and their end point.
#include <QFontMetrics>
#include <QRegularExpression>
#include <QStringList>
#include <cwchar>

#include "platform/platform.h"
#include "platform/qtwindow/device_context.h"
#include "platform/qtwindow/text.h"

using namespace qtwindow;

// Text colour and background colour keep Windows' defaults: nothing in the program changes them.
static const QColor text_colour(0, 0, 0);
static const QColor text_background(255, 255, 255);

static QFontMetrics metrics(const DeviceContext &dc) { return {dc.font, dc.painter.device()}; }

// One line with its top-left corner at the point, on the background colour in opaque mode.
static void draw_line_of_text(DeviceContext &dc, QPoint top_left, const QString &line)
{
    const QFontMetrics m = metrics(dc);
    if (dc.background_mode == OPAQUE)
        dc.painter.fillRect(QRect(top_left, QSize(m.horizontalAdvance(line), m.height())), text_background);
    dc.painter.setFont(dc.font);
    dc.painter.setPen(text_colour);
    dc.painter.drawText(top_left + QPoint(0, m.ascent()), line);
}

static QPen qpen(const Pen &pen) { return {to_qcolor(pen.colour), static_cast<qreal>(pen.width)}; }

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR lpString, int c)
{
    DeviceContext *dc = find_device_context(hdc);
    if (dc == nullptr || c < 0 || (c > 0 && lpString == nullptr))
        return FALSE;
    draw_line_of_text(*dc, QPoint(x, y), to_qstring(lpString, c));
    return TRUE;
}

int DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format)
{
    DeviceContext *dc = find_device_context(hdc);
    if (dc == nullptr || lpchText == nullptr || lprc == nullptr)
        return 0;
    const QString text = cchText < 0 ? to_qstring(lpchText) : to_qstring(lpchText, cchText);
    const QStringList lines =
        (format & DT_SINGLELINE) != 0 ? QStringList{text} : text.split(QRegularExpression("\r\n|\r|\n"));
    const QFontMetrics m = metrics(*dc);
    const QRect box = covered_pixels(*lprc);
    const int height = static_cast<int>(lines.size()) * m.height();

    // Vertical placement applies to a single line only; otherwise text starts at the top.
    int y = box.top();
    if ((format & DT_SINGLELINE) != 0 && (format & DT_VCENTER) != 0)
        y += (box.height() - height) / 2;
    else if ((format & DT_SINGLELINE) != 0 && (format & DT_BOTTOM) != 0)
        y += box.height() - height;

    dc->painter.save();
    dc->painter.setClipRect(box, Qt::IntersectClip);
    for (const QString &line : lines) {
        const int width = m.horizontalAdvance(line);
        int x = box.left();
        if ((format & DT_CENTER) != 0)
            x += (box.width() - width) / 2;
        else if ((format & DT_RIGHT) != 0)
            x += box.width() - width;
        draw_line_of_text(*dc, QPoint(x, y), line);
        y += m.height();
    }
    dc->painter.restore();
    return height;
}

int FillRect(HDC hDC, const RECT *lprc, HBRUSH hbr)
{
    DeviceContext *dc = find_device_context(hDC);
    const std::optional<QColor> colour = brush_colour(hbr);
    if (dc == nullptr || lprc == nullptr || !colour)
        return 0;
    dc->painter.fillRect(covered_pixels(*lprc), *colour);
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
    dc->painter.fillRect(box, to_qcolor(dc->brush.colour));
    dc->painter.setPen(qpen(dc->pen));
    dc->painter.setBrush(Qt::NoBrush);
    // Qt strokes a rectangle one pixel wider and taller than its size.
    dc->painter.drawRect(box.adjusted(0, 0, -1, -1));
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
    const QPoint end(x, y);
    dc->painter.save();
    // Qt draws both end points; Windows leaves the last one out.
    const QRect device(QPoint(0, 0), QSize(dc->painter.device()->width(), dc->painter.device()->height()));
    dc->painter.setClipRegion(QRegion(device).subtracted(QRect(end, QSize(1, 1))), Qt::IntersectClip);
    dc->painter.setPen(qpen(dc->pen));
    dc->painter.drawLine(dc->position, end);
    dc->painter.restore();
    dc->position = end;
    return TRUE;
}
