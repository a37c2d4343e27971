// Windows font requests as Qt fonts from what is installed.
#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QRectF>
#include <QString>

namespace qtwindow {

// A line of text laid out in glyphs, its origin on the baseline at its left end.
struct ShapedText {
    QList<QGlyphRun> runs;
    int width;
    QRectF ink; // what the glyphs cover
};

// A font with what drawing in it needs. A program asks for the same few fonts at every repaint
// and draws the same few texts in them, so each is made once and its texts are laid out once.
class Typeface {
public:
    explicit Typeface(const QFont &font);

    const QFont &font() const { return font_; }
    int ascent() const { return ascent_; }
    int height() const { return height_; }
    const ShapedText &shaped(const QString &text) const;

private:
    QFont font_;
    int ascent_;
    int height_;
    mutable QHash<QString, ShapedText> texts_;
};

// As CreateFontW reads height: above zero the cell height in pixels, below zero the character
// height, zero a default. Kept until the process ends.
const Typeface &typeface(int height, int weight, bool italic, bool underline, bool strike_out, const QString &face);
QFont make_font(int height, int weight, bool italic, bool underline, bool strike_out, const QString &face);

} // namespace qtwindow
