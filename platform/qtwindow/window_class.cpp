#include "platform/qtwindow/window_class.h"

#include <vector>

#include "platform/qtwindow/text.h"

namespace qtwindow {

// Atoms of registered classes start here on Windows too.
static const ATOM first_class_atom = 0xC000;

static std::vector<WindowClass> &classes()
{
    static std::vector<WindowClass> registered;
    return registered;
}

const WindowClass *find_class(const QString &name)
{
    for (const WindowClass &c : classes())
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

void forget_classes() { classes().clear(); }

} // namespace qtwindow

using namespace qtwindow;

ATOM RegisterClassExW(const WNDCLASSEXW *lpwcx)
{
    if (lpwcx == nullptr || lpwcx->lpfnWndProc == nullptr || lpwcx->lpszClassName == nullptr ||
        IS_INTRESOURCE(lpwcx->lpszClassName))
        return 0;
    const QString name = to_qstring(lpwcx->lpszClassName);
    if (name.isEmpty() || find_class(name) != nullptr)
        return 0;
    classes().push_back({name, lpwcx->lpfnWndProc, lpwcx->hIcon, lpwcx->hIconSm, lpwcx->hbrBackground});
    return static_cast<ATOM>(first_class_atom + classes().size() - 1);
}
