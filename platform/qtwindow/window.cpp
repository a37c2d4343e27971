#include "platform/qtwindow/window.h"

#include "platform/qtwindow/handle_table.h"
#include "platform/qtwindow/string_table.h"
#include "platform/qtwindow/text.h"

namespace qtwindow {

// A child's menu argument is its control id.
Window::Window(HWND handle, const CREATESTRUCTW &create, QWidget *widget)
    : handle_(handle), parent_(create.hwndParent),
      id_((create.style & WS_CHILD) != 0 ? static_cast<UINT>(reinterpret_cast<UINT_PTR>(create.hMenu)) : 0),
      widget_(widget)
{
}

Window::~Window() { delete widget_; }

LRESULT Window::default_procedure(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETTEXT:
        return copy_text(text().toStdWString(), reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_SETTEXT: set_text(to_qstring(reinterpret_cast<LPCWSTR>(lParam))); return TRUE;
    case WM_CLOSE: DestroyWindow(handle_); return 0;
    default: return 0;
    }
}

void Window::notify_parent(WORD code) const
{
    SendMessageW(parent_, WM_COMMAND, MAKEWPARAM(id_, code), reinterpret_cast<LPARAM>(handle_));
}

QString Window::text() const { return widget_->windowTitle(); }

void Window::set_text(const QString &text) { widget_->setWindowTitle(text); }

// Window handles get numbers of their own, apart from other kinds of handle. Like the tables of
// Qt objects elsewhere, never destroyed: Qt's own statics may be gone when static destructors run
// at exit.
static HandleTable<HWND, std::unique_ptr<Window>> &windows()
{
    static auto *table = new HandleTable<HWND, std::unique_ptr<Window>>(0x10000);
    return *table;
}

static std::vector<std::unique_ptr<Window>> &retired()
{
    static auto *windows = new std::vector<std::unique_ptr<Window>>;
    return *windows;
}

HWND add_window(const std::function<std::unique_ptr<Window>(HWND)> &make) { return windows().add(make); }

Window *find_window(HWND hwnd)
{
    std::unique_ptr<Window> *window = windows().find(hwnd);
    return window == nullptr ? nullptr : window->get();
}

std::vector<HWND> window_handles()
{
    std::vector<HWND> handles;
    for (const auto &[handle, window] : windows())
        handles.push_back(handle);
    return handles;
}

std::vector<HWND> child_windows(HWND parent)
{
    std::vector<HWND> children;
    for (const auto &[handle, window] : windows())
        if (window->parent() == parent)
            children.push_back(handle);
    return children;
}

void retire_window(HWND hwnd)
{
    std::unique_ptr<Window> *window = windows().find(hwnd);
    if (window == nullptr)
        return;
    retired().push_back(std::move(*window));
    windows().erase(hwnd);
}

void delete_retired_windows()
{
    // In any order: a widget that Qt's parent deleted first is seen as gone by its window.
    std::vector<std::unique_ptr<Window>> dead;
    dead.swap(retired());
}

void forget_windows()
{
    for (HWND hwnd : window_handles())
        retire_window(hwnd);
    delete_retired_windows();
}

} // namespace qtwindow
