#include "platform/qtwindow/fonts.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>
#include <map>

#include "platform/platform.h"
#include "platform/qtwindow/application.h"

namespace qtwindow {

static const int default_cell_height = 16;

namespace {

struct Substitute {
    QStringList families;
    // Bitmap faces on Windows are drawn without smoothing.
    bool bitmap;
};

} // namespace

// Faces named by the program, with installed fonts of the same character after them. Terminal
// is a fixed-pitch bitmap face. "MS Gothic UI" exists nowhere, so Windows' mapper settles on the
// fixed-pitch Japanese Gothic that its charset and pitch ask for.
static Substitute substitute_for(const QString &face)
{
    static const std::map<QString, Substitute> substitutes = {
        {"terminal", {{"DejaVu Sans Mono", "monospace"}, true}},
        {"ms ui gothic", {{"IPAPGothic", "Noto Sans CJK JP", "sans-serif"}, false}},
        {"ms gothic ui", {{"IPAGothic", "Noto Sans Mono CJK JP", "monospace"}, false}},
        {"system", {{"DejaVu Sans", "sans-serif"}, false}},
    };
    const auto found = substitutes.find(face.toLower());
    return found == substitutes.end() ? Substitute{} : found->second;
}

// The largest pixel size whose cell (ascent plus descent) fits the height asked for.
static void fit_cell_height(QFont &font, int cell_height)
{
    int size = std::max(cell_height, 1);
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).height() > cell_height)
        font.setPixelSize(--size);
}

QFont make_font(int height, int weight, bool italic, bool underline, bool strike_out, const QString &face)
{
    application();
    const Substitute substitute = substitute_for(face);
    QFont font;
    font.setFamilies(QStringList{face} + substitute.families);
    if (substitute.bitmap)
        font.setStyleStrategy(QFont::NoAntialias);
    // Qt's weights use the same scale as Windows': 400 normal, 700 bold.
    font.setWeight(static_cast<QFont::Weight>(weight == 0 ? FW_NORMAL : std::clamp(weight, 1, 1000)));
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strike_out);
    if (height < 0)
        font.setPixelSize(-height);
    else
        fit_cell_height(font, height == 0 ? default_cell_height : height);
    return font;
}

} // namespace qtwindow
