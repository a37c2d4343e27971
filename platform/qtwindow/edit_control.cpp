// EDIT: a single-line edit that reports losing the focus.
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "platform/qtwindow/controls.h"
#include "platform/qtwindow/text.h"

namespace qtwindow {

namespace {

class EditWidget : public QLineEdit {
public:
    EditWidget(HWND handle, bool digits_only, QWidget *parent)
        : QLineEdit(parent), handle_(handle), digits_only_(digits_only)
    {
    }

protected:
    // ES_NUMBER turns away typed characters other than digits. Control chords such as the paste
    // key type nothing, so pasted text is not filtered, as on Windows.
    void keyPressEvent(QKeyEvent *event) override
    {
        const QString typed = (event->modifiers() & Qt::ControlModifier) != 0 ? QString() : event->text();
        if (digits_only_ && std::any_of(typed.begin(), typed.end(), [](QChar c) {
                return c.isPrint() && (c < QLatin1Char('0') || c > QLatin1Char('9'));
            })) {
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

    // Any loss of focus counts, also to a button being clicked, which gets its press only after
    // this. A popup such as the context menu leaves the focus where it is on Windows.
    void focusOutEvent(QFocusEvent *event) override
    {
        QLineEdit::focusOutEvent(event);
        if (event->reason() == Qt::PopupFocusReason)
            return;
        if (const Window *window = find_window(handle_))
            window->notify_parent(EN_KILLFOCUS);
    }

private:
    HWND handle_;
    bool digits_only_;
};

class EditControl : public Control {
public:
    using Control::Control;

protected:
    QString text() const override { return static_cast<const QLineEdit &>(widget()).text(); }
    void set_text(const QString &text) override { static_cast<QLineEdit &>(widget()).setText(text); }
};

} // namespace

std::unique_ptr<Window> make_edit(HWND handle, const CREATESTRUCTW &create, QWidget *parent)
{
    auto *edit = new EditWidget(handle, (create.style & ES_NUMBER) != 0, parent);
    edit->setGeometry(create.x, create.y, create.cx, create.cy);
    edit->setFrame((create.style & WS_BORDER) != 0);
    edit->setAlignment(((create.style & ES_RIGHT) != 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    edit->setText(to_qstring(create.lpszName));
    return std::make_unique<EditControl>(handle, create, edit);
}

} // namespace qtwindow
