// Windows font requests as Qt fonts from what is installed.
#pragma once

#include <QFont>
#include <QString>

namespace qtwindow {

// As CreateFontW reads height: above zero the cell height in pixels, below zero the character
// height, zero a default.
QFont make_font(int height, int weight, bool italic, bool underline, bool strike_out, const QString &face);

} // namespace qtwindow
