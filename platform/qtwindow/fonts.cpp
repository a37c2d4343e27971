#include "platform/qtwindow/fonts.h"

#include <QFontMetrics>
#include <QImage>
#include <QStringList>
#include <QTextLayout>
#include <algorithm>
#include <map>
#include <tuple>

#include "platform/platform.h"

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

static QFont resolve_font(int height, int weight, bool italic, bool underline, bool strike_out, const QString &face)
{
    const Substitute substitute = substitute_for(face);
    QFont font;
    font.setFamilies(QStringList{face} + substitute.families);
    if (substitute.bitmap)
        font.setStyleStrategy(QFont::NoAntialias);
    // Texts are drawn for the backing image's own pixels, however much the toolkit magnifies the
    // window afterwards: hinted slightly, as Debian's fontconfig has it, also where the toolkit,
    // scaling the screen, would leave them unhinted.
    font.setHintingPreference(QFont::PreferVerticalHinting);
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

// Metrics and layouts as on the window's backing image.
static QPaintDevice *layout_device()
{
    static auto *image = new QImage(1, 1, QImage::Format_RGB32);
    return image;
}

Typeface::Typeface(const QFont &font)
    : font_(font), ascent_(QFontMetrics(font, layout_device()).ascent()),
      height_(QFontMetrics(font, layout_device()).height())
{
}

const ShapedText &Typeface::shaped(const QString &text) const
{
    if (const auto found = texts_.constFind(text); found != texts_.constEnd())
        return *found;
    // Bounded: the values a monitor shows change with the signal, for days.
    if (texts_.size() >= 256)
        texts_.clear();
    QTextLayout layout(text, font_, layout_device());
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    ShapedText shaped{{}, QFontMetrics(font_, layout_device()).horizontalAdvance(text), {}};
    if (line.isValid()) {
        line.setPosition(QPointF(0, -line.ascent()));
        shaped.runs = line.glyphRuns();
        for (const QGlyphRun &run : shaped.runs)
            shaped.ink |= run.boundingRect();
    }
    return *texts_.insert(text, shaped);
}

const Typeface &typeface(int height, int weight, bool italic, bool underline, bool strike_out, const QString &face)
{
    using Request = std::tuple<int, int, bool, bool, bool, QString>;
    // Never destroyed: Qt's own statics may be gone when static destructors run at exit.
    static auto *made = new std::map<Request, Typeface>;
    const Request request{height, weight, italic, underline, strike_out, face};
    auto found = made->find(request);
    if (found == made->end())
        found =
            made->emplace(request, Typeface(resolve_font(height, weight, italic, underline, strike_out, face))).first;
    return found->second;
}

QFont make_font(int height, int weight, bool italic, bool underline, bool strike_out, const QString &face)
{
    return typeface(height, weight, italic, underline, strike_out, face).font();
}

} // namespace qtwindow
