#include "platform/qtwindow/resources.h"

#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <map>

#include "platform/qtwindow/handle_table.h"
#include "res/resource.h"

namespace qtwindow {

// The icon file as the build embedded it; until it exists, a plain icon in the chart's colours.
static QIcon program_icon()
{
    QIcon icon;
    QImageReader reader(":/quorvex/quorvex.ico");
    for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i)
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    if (!icon.isNull())
        return icon;
    QImage plain(32, 32, QImage::Format_RGB32);
    plain.fill(Qt::black);
    QPainter(&plain).fillRect(12, 8, 8, 24, QColor(50, 255, 0));
    return QIcon(QPixmap::fromImage(plain));
}

static HandleTable<HICON, QIcon> &icons()
{
    // Never destroyed: Qt's own statics may be gone when static destructors run at exit.
    static auto *table = new HandleTable<HICON, QIcon>(0x4000);
    return *table;
}

QIcon icon_of(HICON icon)
{
    const QIcon *found = icons().find(icon);
    return found == nullptr ? QIcon() : *found;
}

} // namespace qtwindow

using namespace qtwindow;

HICON LoadIconW(HINSTANCE, LPCWSTR lpIconName)
{
    // Both icon groups hold the same images; each keeps one handle, as Windows shares loaded icons.
    static std::map<ULONG_PTR, HICON> loaded;
    const auto id = reinterpret_cast<ULONG_PTR>(lpIconName);
    if (!IS_INTRESOURCE(lpIconName) || (id != IDI_QUORVEX && id != IDI_SMALL))
        return nullptr;
    const auto found = loaded.find(id);
    if (found != loaded.end())
        return found->second;
    return loaded[id] = icons().add([](HICON) { return program_icon(); });
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR lpCursorName)
{
    // Qt's default cursor is the arrow, so the handle needs nothing behind it.
    static const auto arrow = reinterpret_cast<HCURSOR>(0x7F00);
    return lpCursorName == IDC_ARROW ? arrow : nullptr;
}

// The resources hold no accelerator table.
HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR) { return nullptr; }
