// Resources from the resource script, message boxes, and the C runtime's _wtoi.
#include <QIcon>
#include <QList>
#include <QSize>
#include <climits>

#include "res/resource.h"
#include "window_test.h"

using ResourceTest = WindowTest;
using MessageBoxTest = WindowTest;

static const auto instance = reinterpret_cast<HINSTANCE>(0x400000);

// The strings come from the resource script's string table.
TEST_F(ResourceTest, LoadStringReadsTheStringTable)
{
    wchar_t text[100];
    EXPECT_EQ(LoadStringW(instance, IDS_APP_TITLE, text, 100), 7);
    EXPECT_STREQ(text, L"Quorvex");
    EXPECT_EQ(LoadStringW(instance, IDC_QUORVEX, text, 100), 7);
    EXPECT_STREQ(text, L"QUORVEX");
}

// A short buffer gets what fits and a terminator, and the count copied.
TEST_F(ResourceTest, LoadStringTruncatesToTheBuffer)
{
    wchar_t text[8] = L"xxxxxxx";
    EXPECT_EQ(LoadStringW(instance, IDS_APP_TITLE, text, 4), 3);
    EXPECT_STREQ(text, L"Quo");
    EXPECT_EQ(LoadStringW(instance, IDS_APP_TITLE, text, 1), 0);
    EXPECT_STREQ(text, L"");
}

// An id the table lacks gives 0 and an empty string.
TEST_F(ResourceTest, LoadStringOfUnknownIdGivesNothing)
{
    wchar_t text[8] = L"xxxxxxx";
    EXPECT_EQ(LoadStringW(instance, 9999, text, 8), 0);
    EXPECT_STREQ(text, L"");
}

// Icons 107 and 108 load, each once, and become the window's icon.
TEST_F(ResourceTest, IconsLoadAndDecorateTheWindow)
{
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUORVEX));
    HICON small_icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    EXPECT_NE(icon, nullptr);
    EXPECT_NE(small_icon, nullptr);
    EXPECT_EQ(LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUORVEX)), icon);
    EXPECT_EQ(LoadIconW(instance, MAKEINTRESOURCEW(110)), nullptr);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hIcon = icon;
    wc.hIconSm = small_icon;
    wc.lpszClassName = L"WITH_ICON";
    RegisterClassExW(&wc);
    HWND hwnd = CreateWindowExW(0, L"WITH_ICON", L"", WS_CAPTION | WS_SYSMENU, 0, 0, 340, 200, nullptr, nullptr,
                                instance, nullptr);
    const QList<QSize> sizes = qtwindow::widget_of(hwnd)->windowIcon().availableSizes();
    for (const QSize size : {QSize(16, 16), QSize(32, 32), QSize(48, 48)})
        EXPECT_TRUE(sizes.contains(size)) << "the images of res/quorvex.ico, " << size.width() << " pixels";
}

// The arrow cursor loads; there is no accelerator table, and a null one translates nothing.
TEST_F(ResourceTest, ArrowCursorLoadsAndNoAcceleratorsTranslate)
{
    EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), nullptr);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_QUORVEX));
    EXPECT_EQ(accelerators, nullptr);
    MSG msg = {};
    EXPECT_EQ(TranslateAcceleratorW(nullptr, accelerators, &msg), 0);
}

// A box is recorded with its owner, caption and text, and answered IDOK.
TEST_F(MessageBoxTest, BoxesAreRecordedAndAnsweredOk)
{
    HWND hwnd = create_window();
    EXPECT_EQ(MessageBoxW(hwnd, L"初期化失敗！終了します", L"失敗", MB_OK), IDOK);
    ASSERT_EQ(qtwindow::message_boxes().size(), 1u);
    const qtwindow::ShownMessageBox &box = qtwindow::message_boxes()[0];
    EXPECT_EQ(box.owner, hwnd);
    EXPECT_EQ(box.caption, L"失敗");
    EXPECT_EQ(box.text, L"初期化失敗！終了します");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
}

// A test's answer is what MessageBoxW returns; it sees the box while it is up.
TEST_F(MessageBoxTest, TestsCanAnswerWhileTheBoxIsUp)
{
    std::wstring seen;
    qtwindow::intercept_message_boxes([&](const qtwindow::ShownMessageBox &box) {
        seen = box.text;
        return 2;
    });
    EXPECT_EQ(MessageBoxW(nullptr, L"text", nullptr, MB_OK), 2);
    EXPECT_EQ(seen, L"text");
    EXPECT_EQ(qtwindow::message_boxes().at(0).caption, L"Error") << "Windows' caption when none is given";
}

// _wtoi: blanks, a sign, digits up to the first non-digit; 0 for none; saturating.
TEST(WtoiTest, ConvertsAsTheMicrosoftRuntime)
{
    EXPECT_EQ(_wtoi(L"  42abc"), 42);
    EXPECT_EQ(_wtoi(L"-7"), -7);
    EXPECT_EQ(_wtoi(L""), 0);
    EXPECT_EQ(_wtoi(L"abc"), 0);
    EXPECT_EQ(_wtoi(L"99999999999999"), INT_MAX);
}
