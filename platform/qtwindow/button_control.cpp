// BUTTON: a push button, or a check box that toggles itself, both reporting clicks.
#include <QCheckBox>
#include <QPushButton>

#include "platform/qtwindow/controls.h"
#include "platform/qtwindow/text.h"

namespace qtwindow {

namespace {

class ButtonControl : public Control {
public:
    using Control::Control;

    LRESULT procedure(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == BM_GETCHECK)
            return button().isCheckable() && button().isChecked() ? BST_CHECKED : BST_UNCHECKED;
        // Setting the state is not a click: no notification, as on Windows.
        if (message == BM_SETCHECK) {
            if (button().isCheckable())
                button().setChecked(wParam == BST_CHECKED);
            return 0;
        }
        return Control::procedure(message, wParam, lParam);
    }

protected:
    QString text() const override { return button().text(); }
    void set_text(const QString &text) override { button().setText(text); }

private:
    QAbstractButton &button() const { return static_cast<QAbstractButton &>(widget()); }
};

} // namespace

std::unique_ptr<Window> make_button(HWND handle, const CREATESTRUCTW &create, QWidget *parent)
{
    QAbstractButton *button = nullptr;
    if ((create.style & BS_TYPEMASK) == BS_AUTOCHECKBOX)
        button = new QCheckBox(parent);
    else
        button = new QPushButton(parent);
    button->setGeometry(create.x, create.y, create.cx, create.cy);
    button->setText(to_qstring(create.lpszName));
    // clicked comes after a check box has toggled, so BM_GETCHECK already answers the new state.
    QObject::connect(button, &QAbstractButton::clicked, [handle] {
        if (const Window *window = find_window(handle))
            window->notify_parent(BN_CLICKED);
    });
    return std::make_unique<ButtonControl>(handle, create, button);
}

} // namespace qtwindow
