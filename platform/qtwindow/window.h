// A window handle's object: the Qt widget that shows it and the procedure its messages go to.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"

namespace qtwindow {

class Window {
public:
    // Takes the widget, which dies with the window unless Qt's parent of it went first.
    Window(HWND handle, const CREATESTRUCTW &create, QWidget *widget);
    virtual ~Window();
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    HWND handle() const { return handle_; }
    HWND parent() const { return parent_; }
    QWidget &widget() const { return *widget_; }

    // Where SendMessageW and DispatchMessageW deliver: the class's procedure for registered
    // classes, the control's own for EDIT and BUTTON.
    virtual LRESULT procedure(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // DefWindowProcW for this window.
    virtual LRESULT default_procedure(UINT message, WPARAM wParam, LPARAM lParam);

    // Tells the parent, as the standard controls do: WM_COMMAND with the id and code in wParam
    // and this window's handle in lParam.
    void notify_parent(WORD code) const;

    // Set once DestroyWindow has begun, while WM_DESTROY still reaches the window.
    bool destroying = false;

protected:
    virtual QString text() const;
    virtual void set_text(const QString &text);

private:
    HWND handle_;
    HWND parent_;
    UINT id_;
    QPointer<QWidget> widget_;
};

HWND add_window(const std::function<std::unique_ptr<Window>(HWND)> &make);
Window *find_window(HWND hwnd);
std::vector<HWND> window_handles();
std::vector<HWND> child_windows(HWND parent);

// Takes the window out of the table. Its objects are deleted only at the next safe point, since
// the code that destroyed it may be running inside one of its widget's own event handlers.
void retire_window(HWND hwnd);
void delete_retired_windows();
void forget_windows();

} // namespace qtwindow
