#include "platform/qtwindow/controls.h"

#include "platform/qtwindow/gdi_objects.h"

namespace qtwindow {

LRESULT Control::procedure(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_SETFONT)
        return default_procedure(message, wParam, lParam);
    const GdiObject *object = find_object(reinterpret_cast<HGDIOBJ>(wParam));
    if (const auto *font = object == nullptr ? nullptr : std::get_if<Font>(object))
        widget().setFont(font->face->font());
    return 0;
}

ControlMaker control_maker(const QString &class_name)
{
    if (class_name.compare("EDIT", Qt::CaseInsensitive) == 0)
        return make_edit;
    if (class_name.compare("BUTTON", Qt::CaseInsensitive) == 0)
        return make_button;
    return nullptr;
}

} // namespace qtwindow
