// The standard controls EDIT and BUTTON as Qt widgets at the geometry they were created with.
#pragma once

#include <QString>
#include <memory>

#include "platform/qtwindow/window.h"

namespace qtwindow {

// What the two controls share: their font comes with WM_SETFONT.
class Control : public Window {
public:
    using Window::Window;
    LRESULT procedure(UINT message, WPARAM wParam, LPARAM lParam) override;
};

using ControlMaker = std::unique_ptr<Window> (*)(HWND handle, const CREATESTRUCTW &create, QWidget *parent);

// Null when the class is neither control.
ControlMaker control_maker(const QString &class_name);

std::unique_ptr<Window> make_edit(HWND handle, const CREATESTRUCTW &create, QWidget *parent);
std::unique_ptr<Window> make_button(HWND handle, const CREATESTRUCTW &create, QWidget *parent);

} // namespace qtwindow
