// EDIT and BUTTON: geometry, text, input filtering, and notifications in the order Windows sends them.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "platform/qtwindow/fonts.h"
#include "window_test.h"

// A WM_COMMAND as the parent received it.
struct Notification {
    WORD id;
    WORD code;
    HWND control;
    bool operator==(const Notification &) const = default;
};

void PrintTo(const Notification &n, std::ostream *os)
{
    *os << "{id " << n.id << ", code " << n.code << ", " << n.control << "}";
}

using Notifications = std::vector<Notification>;

class ControlTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        parent = create_shown_window();
        const DWORD edit_style = WS_CHILD | WS_VISIBLE | ES_NUMBER | ES_RIGHT;
        interval = create_control(parent, L"EDIT", L"1", edit_style, 77, 154, 15, 12);
        channel = create_control(parent, L"EDIT", L"13", edit_style, 145, 154, 15, 12);
        catv = create_control(parent, L"BUTTON", L"CATV", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 175, 153, 45, 15);
        apply = create_control(parent, L"BUTTON", L"Apply", WS_CHILD | WS_VISIBLE, 250, 150, 60, 19);
        log.clear();
    }

    std::vector<Notification> notifications() const
    {
        std::vector<Notification> seen;
        for (const Received &r : received(WM_COMMAND))
            seen.push_back({LOWORD(r.wParam), HIWORD(r.wParam), reinterpret_cast<HWND>(r.lParam)});
        return seen;
    }

    static std::wstring text_of(HWND control)
    {
        wchar_t text[64] = {};
        SendMessageW(control, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text));
        return text;
    }

    HWND parent = nullptr;
    HWND interval = nullptr;
    HWND channel = nullptr;
    HWND catv = nullptr;
    HWND apply = nullptr;
};

// Each control is a real widget of its kind at exactly the geometry it was created with.
TEST_F(ControlTest, ControlsAreWidgetsAtTheirExactGeometry)
{
    EXPECT_NE(qobject_cast<QLineEdit *>(qtwindow::widget_of(interval)), nullptr);
    EXPECT_NE(qobject_cast<QCheckBox *>(qtwindow::widget_of(catv)), nullptr);
    EXPECT_NE(qobject_cast<QPushButton *>(qtwindow::widget_of(apply)), nullptr);
    EXPECT_EQ(qtwindow::widget_of(interval)->geometry(), QRect(77, 154, 15, 12));
    EXPECT_EQ(qtwindow::widget_of(channel)->geometry(), QRect(145, 154, 15, 12));
    EXPECT_EQ(qtwindow::widget_of(catv)->geometry(), QRect(175, 153, 45, 15));
    EXPECT_EQ(qtwindow::widget_of(apply)->geometry(), QRect(250, 150, 60, 19));
    EXPECT_TRUE(qtwindow::widget_of(apply)->isVisible());
    EXPECT_EQ(qtwindow::children_of(parent), (std::vector<HWND>{interval, channel, catv, apply}));
}

// ES_RIGHT aligns right; an edit without WS_BORDER has no frame.
TEST_F(ControlTest, EditStylesShapeTheEdit)
{
    const auto *edit = qobject_cast<QLineEdit *>(qtwindow::widget_of(interval));
    EXPECT_TRUE(edit->alignment().testFlag(Qt::AlignRight));
    EXPECT_FALSE(edit->hasFrame());
}

// WM_GETTEXT copies at most limit - 1 characters and a terminator and returns the count copied;
// WM_SETTEXT replaces the text.
TEST_F(ControlTest, TextMessagesTruncateAsWin32)
{
    wchar_t text[16];
    EXPECT_EQ(SendMessageW(channel, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(text)), 2);
    EXPECT_STREQ(text, L"13");
    EXPECT_EQ(SendMessageW(channel, WM_GETTEXT, 2, reinterpret_cast<LPARAM>(text)), 1);
    EXPECT_STREQ(text, L"1");
    EXPECT_EQ(SendMessageW(channel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"62")), TRUE);
    EXPECT_EQ(text_of(channel), L"62");
    EXPECT_EQ(text_of(apply), L"Apply");
    EXPECT_TRUE(notifications().empty()) << "setting the text notifies nothing";
}

// ES_NUMBER lets only digits be typed; an edit without it takes everything.
TEST_F(ControlTest, NumberEditTakesOnlyTypedDigits)
{
    qtwindow::type_text(interval, L"1a2 -3");
    EXPECT_EQ(text_of(interval), L"123");
    HWND plain = create_control(parent, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 10, 10, 80, 14);
    qtwindow::type_text(plain, L"1a2 -3");
    EXPECT_EQ(text_of(plain), L"1a2 -3");
}

// Pasting into a number edit is not filtered, as on Windows.
TEST_F(ControlTest, PastingIntoNumberEditIsNotFiltered)
{
    QGuiApplication::clipboard()->setText("4x");
    if (QGuiApplication::clipboard()->text() != "4x")
        GTEST_SKIP() << "no clipboard on this platform";
    qtwindow::type_text(interval, L"");
    QTest::keyClick(qtwindow::widget_of(interval), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text_of(interval), L"4x");
}

// EM_SETLIMITTEXT holds what the user enters: typing stops at the limit and a paste is cut to it.
// Text already there and text the program sets are kept whole, as on Windows.
TEST_F(ControlTest, TheTextLimitHoldsWhatTheUserEntersOnly)
{
    QGuiApplication::clipboard()->setText("123456789");
    if (QGuiApplication::clipboard()->text() != "123456789")
        GTEST_SKIP() << "no clipboard on this platform";
    SendMessageW(channel, EM_SETLIMITTEXT, 5, 0);
    qtwindow::type_text(channel, L"9876543");
    EXPECT_EQ(text_of(channel), L"98765");
    qtwindow::type_text(channel, L"");
    QTest::keyClick(qtwindow::widget_of(channel), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(text_of(channel), L"12345");
    SendMessageW(channel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"12345678"));
    EXPECT_EQ(text_of(channel), L"12345678") << "text the program sets";
    SendMessageW(channel, EM_SETLIMITTEXT, 3, 0);
    EXPECT_EQ(text_of(channel), L"12345678") << "the text there when the limit came";
}

// An edit losing the focus tells its parent, with its id, the code and its handle.
TEST_F(ControlTest, EditLosingFocusNotifiesParent)
{
    qtwindow::click(interval);
    EXPECT_EQ(notifications(), Notifications{});
    qtwindow::click(channel);
    EXPECT_EQ(notifications(), (Notifications{{0, EN_KILLFOCUS, interval}}));
}

// Clicking a button takes the focus from the edit: EN_KILLFOCUS comes first, so the edit's
// value is settled before the click is handled.
TEST_F(ControlTest, KillFocusComesBeforeTheClickThatTookTheFocus)
{
    handle(WM_COMMAND, [this](HWND, WPARAM wParam, LPARAM lParam) {
        if (HIWORD(wParam) == EN_KILLFOCUS && reinterpret_cast<HWND>(lParam) == channel)
            SendMessageW(channel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"62"));
        return LRESULT{0};
    });
    qtwindow::type_text(channel, L"75");
    qtwindow::click(apply);
    EXPECT_EQ(notifications(), (Notifications{{0, EN_KILLFOCUS, channel}, {0, BN_CLICKED, apply}}));
    EXPECT_EQ(text_of(channel), L"62");
}

// A check box has toggled by the time its BN_CLICKED arrives.
TEST_F(ControlTest, CheckBoxTogglesBeforeNotifying)
{
    std::vector<LRESULT> states;
    handle(WM_COMMAND, [&](HWND, WPARAM, LPARAM lParam) {
        states.push_back(SendMessageW(reinterpret_cast<HWND>(lParam), BM_GETCHECK, 0, 0));
        return LRESULT{0};
    });
    EXPECT_EQ(SendMessageW(catv, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    qtwindow::click(catv);
    qtwindow::click(catv);
    EXPECT_EQ(notifications(), (Notifications{{0, BN_CLICKED, catv}, {0, BN_CLICKED, catv}}));
    EXPECT_EQ(states, (std::vector<LRESULT>{BST_CHECKED, BST_UNCHECKED}));
    EXPECT_EQ(SendMessageW(apply, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "a push button is never checked";
}

// BM_SETCHECK sets the state without a click, so the parent hears nothing; a user's click then
// toggles from the state set.
TEST_F(ControlTest, SettingTheCheckIsNotAClick)
{
    EXPECT_EQ(SendMessageW(catv, BM_SETCHECK, BST_CHECKED, 0), 0);
    EXPECT_EQ(SendMessageW(catv, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(notifications(), Notifications{});
    qtwindow::click(catv);
    EXPECT_EQ(SendMessageW(catv, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageW(apply, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageW(apply, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "a push button is never checked";
}

// A control's id, from the menu argument, comes back in its notifications.
TEST_F(ControlTest, NotificationsCarryTheControlId)
{
    HWND button = create_control(parent, L"BUTTON", L"Go", WS_CHILD | WS_VISIBLE, 10, 10, 40, 20, 42);
    qtwindow::click(button);
    EXPECT_EQ(notifications(), (Notifications{{42, BN_CLICKED, button}}));
}

// WM_SETFONT gives the control the font.
TEST_F(ControlTest, SetFontGivesTheControlTheFont)
{
    HFONT font = CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, L"MS Gothic UI");
    SendMessageW(channel, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    const QFont expected = qtwindow::make_font(12, FW_NORMAL, false, false, false, "MS Gothic UI");
    EXPECT_EQ(qtwindow::widget_of(channel)->font().pixelSize(), expected.pixelSize());
    EXPECT_EQ(qtwindow::widget_of(channel)->font().families(), expected.families());
}

// Destroying the parent destroys its controls.
TEST_F(ControlTest, ControlsDieWithTheirParent)
{
    DestroyWindow(parent);
    EXPECT_EQ(qtwindow::widget_of(channel), nullptr);
    EXPECT_EQ(SendMessageW(channel, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1")), 0);
}

// A plain window has no dialog manager: Tab and Shift+Tab leave the focus and every control as
// they were, and an edit takes no tab character.
TEST_F(ControlTest, TabMovesNothingWithoutADialogManager)
{
    for (HWND control : {interval, channel, catv, apply}) {
        qtwindow::click(control);
        log.clear();
        QWidget *focused = QApplication::focusWidget();
        ASSERT_EQ(focused, qtwindow::widget_of(control));
        QTest::keyClick(focused, Qt::Key_Tab);
        QTest::keyClick(focused, Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), focused) << "the focus stayed on the control";
        EXPECT_EQ(notifications(), Notifications{}) << "no edit lost the focus";
    }
    EXPECT_EQ(text_of(interval), L"1");
    EXPECT_EQ(text_of(channel), L"13");
    EXPECT_EQ(SendMessageW(catv, BM_GETCHECK, 0, 0), BST_CHECKED) << "ticked by its click only";
}
