#include "platform/qtwindow/accelerators.h"

#include <QKeyEvent>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "platform/platform.h"
#include "platform/qtwindow/handle_table.h"
#include "platform/qtwindow/message_loop.h"
#include "platform/qtwindow/window.h"

namespace qtwindow {

namespace {

const BYTE modifier_flags = FSHIFT | FCONTROL | FALT;

HandleTable<HACCEL, std::vector<ACCEL>> &tables()
{
    // Never destroyed: Qt's own statics may be gone when static destructors run at exit.
    static auto *all = new HandleTable<HACCEL, std::vector<ACCEL>>(0x1000);
    return *all;
}

// Letters and digits: Qt's key codes for them are the virtual-key codes.
bool virtual_key_of(int qt_key, WORD &key)
{
    if ((qt_key < '0' || qt_key > '9') && (qt_key < 'A' || qt_key > 'Z'))
        return false;
    key = static_cast<WORD>(qt_key);
    return true;
}

BYTE flags_of(Qt::KeyboardModifiers modifiers)
{
    return static_cast<BYTE>(((modifiers & Qt::ShiftModifier) != 0 ? FSHIFT : 0) |
                             ((modifiers & Qt::ControlModifier) != 0 ? FCONTROL : 0) |
                             ((modifiers & Qt::AltModifier) != 0 ? FALT : 0));
}

const ACCEL *find_entry(const std::vector<ACCEL> &table, WORD key, BYTE modifiers)
{
    const auto found = std::find_if(table.begin(), table.end(), [&](const ACCEL &entry) {
        return (entry.fVirt & FVIRTKEY) != 0 && entry.key == key && (entry.fVirt & modifier_flags) == modifiers;
    });
    return found == table.end() ? nullptr : &*found;
}

// The window whose widget is the one given or holds it.
HWND window_of(const QObject *object)
{
    for (const auto *widget = qobject_cast<const QWidget *>(object); widget != nullptr; widget = widget->parentWidget())
        for (HWND hwnd : window_handles())
            if (&find_window(hwnd)->widget() == widget)
                return hwnd;
    return nullptr;
}

class AcceleratorKeys final : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *press = static_cast<const QKeyEvent *>(event);
        WORD key = 0;
        if (!virtual_key_of(press->key(), key))
            return false;
        const BYTE modifiers = flags_of(press->modifiers());
        const HWND hwnd = window_of(watched);
        if (hwnd == nullptr)
            return false;
        for (const auto &[handle, table] : tables()) {
            if (find_entry(table, key, modifiers) != nullptr) {
                post_key(hwnd, key, modifiers);
                return true;
            }
        }
        return false;
    }
};

} // namespace

void watch_accelerator_keys(QApplication &app)
{
    static AcceleratorKeys keys;
    app.installEventFilter(&keys);
}

} // namespace qtwindow

using namespace qtwindow;

HACCEL CreateAcceleratorTableW(LPACCEL paccel, int cAccel)
{
    if (paccel == nullptr || cAccel <= 0)
        return nullptr;
    return tables().add([&](HACCEL) { return std::vector<ACCEL>(paccel, paccel + cAccel); });
}

BOOL DestroyAcceleratorTable(HACCEL hAccel) { return tables().erase(hAccel) ? TRUE : FALSE; }

// A key of the table, with the modifier keys it names and no others, is sent to the window as
// WM_COMMAND with the entry's command and the notification code 1.
int TranslateAcceleratorW(HWND hWnd, HACCEL hAccTable, LPMSG lpMsg)
{
    const std::vector<ACCEL> *table = tables().find(hAccTable);
    if (table == nullptr || lpMsg == nullptr || lpMsg->message != WM_KEYDOWN || find_window(hWnd) == nullptr)
        return 0;
    const ACCEL *entry = find_entry(*table, static_cast<WORD>(lpMsg->wParam), key_modifiers());
    if (entry == nullptr)
        return 0;
    SendMessageW(hWnd, WM_COMMAND, MAKEWPARAM(entry->cmd, 1), 0);
    return 1;
}
