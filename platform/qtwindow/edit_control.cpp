// EDIT: a single-line edit that reports losing the focus.
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <climits>

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

// Windows' limit on what the user may enter until EM_SETLIMITTEXT sets another, and Qt's default.
const int default_text_limit = 32767;

// The text limit holds what the user types or pastes, cut at the limit as Windows cuts a paste.
// Text the program sets, and text already there when the limit is set, are kept whole, as
// Windows keeps them; the user may then edit such a text at its own length.
class EditControl : public Control {
public:
    using Control::Control;

    LRESULT procedure(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != EM_SETLIMITTEXT)
            return Control::procedure(message, wParam, lParam);
        // Zero asks for the largest limit there is.
        limit_ = wParam == 0 || wParam > INT_MAX ? INT_MAX : static_cast<int>(wParam);
        edit().setMaxLength(std::max(limit_, static_cast<int>(edit().text().size())));
        return 0;
    }

protected:
    QString text() const override { return edit().text(); }
    void set_text(const QString &text) override
    {
        edit().setMaxLength(std::max(limit_, static_cast<int>(text.size())));
        edit().setText(text);
    }

private:
    QLineEdit &edit() const { return static_cast<QLineEdit &>(widget()); }

    int limit_ = default_text_limit;
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
