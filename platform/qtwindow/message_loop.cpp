#include "platform/qtwindow/message_loop.h"

#include <QCoreApplication>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "platform/qtwindow/paint.h"
#include "platform/qtwindow/seams.h"
#include "platform/qtwindow/timers.h"
#include "platform/qtwindow/window.h"

namespace qtwindow {

namespace {

struct Key {
    HWND hwnd;
    WPARAM virtual_key;
    BYTE modifiers;
};

struct Queue {
    std::optional<int> quit_code;
    std::vector<HWND> closes;
    std::deque<Key> keys;
    BYTE key_modifiers = 0;
    std::function<void()> idle;
};

} // namespace

static Queue &queue()
{
    static Queue state;
    return state;
}

// Qt's pending events come first: input reaches the controls and the close box, and the real
// clock's timers come due. Then, in Windows' order, the quit request, repaints and timers.
static std::optional<MSG> next_message(bool take_quit)
{
    // No window's code is running here, so destroyed windows can go.
    delete_retired_windows();
    QCoreApplication::processEvents();
    if (queue().quit_code) {
        if (!take_quit)
            return std::nullopt;
        const MSG quit{nullptr, WM_QUIT, static_cast<WPARAM>(*queue().quit_code), 0, tick_count(), {}};
        queue().quit_code.reset();
        return quit;
    }
    if (!queue().closes.empty()) {
        const HWND hwnd = queue().closes.front();
        queue().closes.erase(queue().closes.begin());
        return MSG{hwnd, WM_CLOSE, 0, 0, tick_count(), {}};
    }
    if (!queue().keys.empty()) {
        const Key key = queue().keys.front();
        queue().keys.pop_front();
        queue().key_modifiers = key.modifiers;
        return MSG{key.hwnd, WM_KEYDOWN, key.virtual_key, 1, tick_count(), {}};
    }
    if (HWND hwnd = window_needing_paint())
        return MSG{hwnd, WM_PAINT, 0, 0, tick_count(), {}};
    return take_due_timer();
}

void forget_messages() { queue() = {}; }

void post_close(HWND hwnd) { queue().closes.push_back(hwnd); }

void post_key(HWND hwnd, WPARAM virtual_key, BYTE modifiers) { queue().keys.push_back({hwnd, virtual_key, modifiers}); }

BYTE key_modifiers() { return queue().key_modifiers; }

int pump_messages()
{
    int dispatched = 0;
    while (const std::optional<MSG> message = next_message(false)) {
        DispatchMessageW(&*message);
        ++dispatched;
    }
    return dispatched;
}

std::optional<int> pending_quit() { return queue().quit_code; }

void on_idle(std::function<void()> idle) { queue().idle = std::move(idle); }

} // namespace qtwindow

using namespace qtwindow;

// Only the unfiltered form is provided: any window, any message.
BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (lpMsg == nullptr || hWnd != nullptr || wMsgFilterMin != 0 || wMsgFilterMax != 0)
        return -1;
    for (;;) {
        if (const std::optional<MSG> message = next_message(true)) {
            *lpMsg = *message;
            return message->message != WM_QUIT ? TRUE : FALSE;
        }
        if (queue().idle)
            queue().idle();
        else
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// Qt's widgets turn keys into characters themselves.
BOOL TranslateMessage(const MSG *) { return FALSE; }

VOID PostQuitMessage(int nExitCode) { queue().quit_code = nExitCode; }
