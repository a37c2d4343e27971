// GDI on the backing image: Win32's pixel rules for shapes and lines, objects and text placement.
#include <QFontInfo>
#include <QFontMetrics>
#include <algorithm>

#include "platform/qtwindow/fonts.h"
#include "window_test.h"

class DrawingTest : public WindowTest {
protected:
    // A shown window that has painted once with draw.
    HWND drawn(std::function<void(HDC)> draw)
    {
        paint_with(std::move(draw));
        return create_shown_window();
    }

    // The bounding box of every pixel in the area that is not the window background.
    static QRect ink(const QImage &image, const QRect &area)
    {
        QRect box;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image.pixelColor(x, y) != menu_grey)
                    box |= QRect(x, y, 1, 1);
        return box;
    }

    static HFONT label_font(int height, const wchar_t *face)
    {
        return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, face);
    }
};

static const QColor red(255, 0, 0);
static const QColor blue(0, 0, 255);
static const QColor black(0, 0, 0);
static const QColor white(255, 255, 255);

// Rectangle fills with the brush and outlines with the pen, leaving out the right and bottom edges.
TEST_F(DrawingTest, RectangleLeavesOutRightAndBottomEdges)
{
    HWND hwnd = drawn([](HDC hdc) {
        HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
        HGDIOBJ previous = SelectObject(hdc, brush);
        Rectangle(hdc, 10, 10, 20, 15);
        SelectObject(hdc, previous);
        DeleteObject(brush);
    });
    EXPECT_EQ(pixel(hwnd, 10, 10), black);
    EXPECT_EQ(pixel(hwnd, 19, 10), black);
    EXPECT_EQ(pixel(hwnd, 10, 14), black);
    EXPECT_EQ(pixel(hwnd, 19, 14), black);
    EXPECT_EQ(pixel(hwnd, 11, 11), red);
    EXPECT_EQ(pixel(hwnd, 18, 13), red);
    EXPECT_EQ(pixel(hwnd, 20, 12), menu_grey);
    EXPECT_EQ(pixel(hwnd, 15, 15), menu_grey);
    EXPECT_EQ(pixel(hwnd, 9, 12), menu_grey);
}

// A new device context draws with the black pen and the white brush.
TEST_F(DrawingTest, DefaultPenIsBlackAndBrushWhite)
{
    HWND hwnd = drawn([](HDC hdc) { Rectangle(hdc, 10, 10, 20, 20); });
    EXPECT_EQ(pixel(hwnd, 10, 10), black);
    EXPECT_EQ(pixel(hwnd, 15, 15), white);
}

// LineTo draws from the current position and leaves its end point out.
TEST_F(DrawingTest, LineToLeavesOutTheEndPoint)
{
    HWND hwnd = drawn([](HDC hdc) {
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
        HGDIOBJ previous = SelectObject(hdc, pen);
        MoveToEx(hdc, 5, 30, nullptr);
        LineTo(hdc, 15, 30);
        LineTo(hdc, 15, 40);
        MoveToEx(hdc, 40, 5, nullptr);
        LineTo(hdc, 40, 15);
        SelectObject(hdc, previous);
        DeleteObject(pen);
    });
    EXPECT_EQ(pixel(hwnd, 5, 30), blue);
    EXPECT_EQ(pixel(hwnd, 14, 30), blue);
    EXPECT_EQ(pixel(hwnd, 15, 30), blue) << "drawn as the start of the second line";
    EXPECT_EQ(pixel(hwnd, 15, 39), blue);
    EXPECT_EQ(pixel(hwnd, 15, 40), menu_grey);
    EXPECT_EQ(pixel(hwnd, 16, 30), menu_grey);
    EXPECT_EQ(pixel(hwnd, 40, 5), blue);
    EXPECT_EQ(pixel(hwnd, 40, 14), blue);
    EXPECT_EQ(pixel(hwnd, 40, 15), menu_grey);
}

// MoveToEx reports the position it replaced.
TEST_F(DrawingTest, MoveToReportsThePreviousPosition)
{
    POINT previous = {-1, -1};
    drawn([&](HDC hdc) {
        MoveToEx(hdc, 7, 8, nullptr);
        LineTo(hdc, 9, 10);
        MoveToEx(hdc, 0, 0, &previous);
    });
    EXPECT_EQ(previous.x, 9);
    EXPECT_EQ(previous.y, 10);
}

// FillRect takes a system colour's index plus one: COLOR_MENU + 1 is the window background grey.
TEST_F(DrawingTest, FillRectTakesSystemColourValue)
{
    HWND hwnd = drawn([](HDC hdc) {
        HBRUSH white_brush = CreateSolidBrush(RGB(255, 255, 255));
        const RECT all = {0, 0, 334, 171};
        FillRect(hdc, &all, white_brush);
        DeleteObject(white_brush);
        const RECT box = {10, 10, 20, 20};
        EXPECT_EQ(FillRect(hdc, &box, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1))), 1);
    });
    EXPECT_EQ(pixel(hwnd, 10, 10), menu_grey);
    EXPECT_EQ(pixel(hwnd, 19, 19), menu_grey);
    EXPECT_EQ(pixel(hwnd, 20, 20), white);
    EXPECT_EQ(pixel(hwnd, 9, 9), white);
}

// SelectObject gives back what it replaced, starting from the stock pen, brush and font.
TEST_F(DrawingTest, SelectObjectReturnsThePreviousObject)
{
    drawn([](HDC hdc) {
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
        HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
        HFONT font = label_font(12, L"MS UI Gothic");
        EXPECT_EQ(SelectObject(hdc, pen), GetStockObject(BLACK_PEN));
        EXPECT_EQ(SelectObject(hdc, brush), GetStockObject(WHITE_BRUSH));
        EXPECT_EQ(SelectObject(hdc, font), GetStockObject(SYSTEM_FONT));
        EXPECT_EQ(SelectObject(hdc, GetStockObject(BLACK_PEN)), static_cast<HGDIOBJ>(pen));
        EXPECT_EQ(SelectObject(hdc, GetStockObject(WHITE_BRUSH)), static_cast<HGDIOBJ>(brush));
        EXPECT_EQ(SelectObject(hdc, GetStockObject(SYSTEM_FONT)), static_cast<HGDIOBJ>(font));
        EXPECT_TRUE(DeleteObject(pen));
        EXPECT_TRUE(DeleteObject(brush));
        EXPECT_TRUE(DeleteObject(font));
    });
}

// Objects count as live from creation to deletion; stock objects never do.
TEST_F(DrawingTest, ObjectsLiveFromCreationToDeletion)
{
    const std::size_t before = qtwindow::live_gdi_objects();
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    HFONT font = label_font(9, L"Terminal");
    EXPECT_EQ(qtwindow::live_gdi_objects(), before + 3);
    GetStockObject(BLACK_PEN);
    DeleteObject(pen);
    DeleteObject(brush);
    DeleteObject(font);
    EXPECT_EQ(qtwindow::live_gdi_objects(), before);
}

// A deleted object is gone; deleting a stock object is allowed and keeps it.
TEST_F(DrawingTest, DeletedObjectsAreGoneButStockObjectsStay)
{
    drawn([](HDC hdc) {
        HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
        EXPECT_TRUE(DeleteObject(brush));
        EXPECT_FALSE(DeleteObject(brush));
        EXPECT_EQ(SelectObject(hdc, brush), nullptr);
        EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
        EXPECT_EQ(SelectObject(hdc, GetStockObject(BLACK_PEN)), GetStockObject(BLACK_PEN));
    });
}

// SetBkMode gives back the previous mode, starting from OPAQUE.
TEST_F(DrawingTest, SetBkModeReturnsThePreviousMode)
{
    drawn([](HDC hdc) {
        EXPECT_EQ(SetBkMode(hdc, TRANSPARENT), OPAQUE);
        EXPECT_EQ(SetBkMode(hdc, OPAQUE), TRANSPARENT);
    });
}

// TextOutW puts the text's top-left corner at the point, in black, in a cell of the font's height.
TEST_F(DrawingTest, TextOutPlacesTextBelowAndRightOfThePoint)
{
    HWND hwnd = drawn([this](HDC hdc) {
        SetBkMode(hdc, TRANSPARENT);
        HFONT font = label_font(12, L"MS UI Gothic");
        HGDIOBJ previous = SelectObject(hdc, font);
        TextOutW(hdc, 50, 60, L"Interval:", 9);
        SelectObject(hdc, previous);
        DeleteObject(font);
    });
    const QImage image = qtwindow::client_image(hwnd);
    const QRect box = ink(image, QRect(30, 40, 100, 40));
    EXPECT_GE(box.left(), 50);
    EXPECT_LE(box.left(), 53);
    EXPECT_GE(box.top(), 60);
    EXPECT_LE(box.bottom(), 71);
    EXPECT_GT(box.width(), 30) << "nine characters";
    int darkest = 255;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            darkest = std::min(darkest, image.pixelColor(x, y).value());
    EXPECT_LT(darkest, 64) << "black text";
}

// TextOutW draws exactly the number of characters it is given.
TEST_F(DrawingTest, TextOutDrawsExactlyTheCount)
{
    HWND hwnd = drawn([](HDC hdc) {
        SetBkMode(hdc, TRANSPARENT);
        TextOutW(hdc, 10, 10, L"WWWWWW", 2);
        TextOutW(hdc, 10, 40, L"WWWWWW", 6);
    });
    const QImage image = qtwindow::client_image(hwnd);
    const QRect two = ink(image, QRect(0, 5, 334, 25));
    const QRect six = ink(image, QRect(0, 35, 334, 25));
    EXPECT_NEAR(static_cast<double>(six.width()) / two.width(), 3.0, 0.4);
}

// In opaque mode text sits on the white background colour; in transparent mode on what was there.
TEST_F(DrawingTest, OpaqueModeFillsTheTextCell)
{
    HWND hwnd = drawn([](HDC hdc) {
        TextOutW(hdc, 10, 10, L"i", 1);
        SetBkMode(hdc, TRANSPARENT);
        TextOutW(hdc, 10, 60, L"i", 1);
    });
    EXPECT_EQ(pixel(hwnd, 10, 10), white);
    EXPECT_EQ(pixel(hwnd, 10, 60), menu_grey);
}

// Without DT_SINGLELINE, DT_VCENTER does nothing: the text is centred across the rectangle and
// sits at its top. With DT_SINGLELINE it is centred vertically as well.
TEST_F(DrawingTest, DrawTextCentresAcrossAndVerticallyOnlyOnASingleLine)
{
    HWND hwnd = drawn([](HDC hdc) {
        SetBkMode(hdc, TRANSPARENT);
        HFONT font = label_font(12, L"MS UI Gothic");
        HGDIOBJ previous = SelectObject(hdc, font);
        RECT header = {30, 5, 310, 20};
        DrawTextW(hdc, L"Channel = 13, Interval = 1 (s)", -1, &header, DT_CENTER | DT_VCENTER);
        RECT box = {30, 60, 310, 120};
        DrawTextW(hdc, L"Channel", -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(hdc, previous);
        DeleteObject(font);
    });
    const QImage image = qtwindow::client_image(hwnd);
    const QRect header = ink(image, QRect(0, 0, 334, 40));
    EXPECT_NEAR(header.center().x(), 170, 3);
    EXPECT_GE(header.top(), 5);
    EXPECT_LE(header.top(), 9);
    const QRect centred = ink(image, QRect(0, 50, 334, 80));
    EXPECT_NEAR(centred.center().x(), 170, 3);
    EXPECT_NEAR(centred.center().y(), 90, 3);
}

// Japanese text comes out in a Japanese font, one full-width glyph per character.
TEST_F(DrawingTest, JapaneseTextRendersInAJapaneseFont)
{
    const QFont font = qtwindow::make_font(12, FW_NORMAL, false, false, false, "MS UI Gothic");
    EXPECT_TRUE(QFontInfo(font).family().startsWith("IPA")) << QFontInfo(font).family().toStdString();
    HWND hwnd = drawn([this](HDC hdc) {
        SetBkMode(hdc, TRANSPARENT);
        HFONT label = label_font(12, L"MS UI Gothic");
        HGDIOBJ previous = SelectObject(hdc, label);
        TextOutW(hdc, 10, 10, L"初期化失敗！終了します", 11);
        SelectObject(hdc, previous);
        DeleteObject(label);
    });
    const QRect box = ink(qtwindow::client_image(hwnd), QRect(0, 0, 334, 40));
    EXPECT_GT(box.width(), 11 * 8);
    EXPECT_LT(box.width(), 11 * 14);
}

// Font heights are cell heights in pixels; the program's faces map to fonts of the same kind.
TEST_F(DrawingTest, FontsAreSizedByCellHeightAndMappedByKind)
{
    const QFont terminal = qtwindow::make_font(9, FW_NORMAL, false, false, false, "Terminal");
    EXPECT_LE(QFontMetrics(terminal).height(), 9);
    EXPECT_GE(QFontMetrics(terminal).height(), 7);
    EXPECT_TRUE(QFontInfo(terminal).fixedPitch());
    const QFont gothic = qtwindow::make_font(12, FW_NORMAL, false, false, false, "MS Gothic UI");
    EXPECT_LE(QFontMetrics(gothic).height(), 12);
    EXPECT_GE(QFontMetrics(gothic).height(), 10);
    EXPECT_TRUE(QFontInfo(gothic).family().startsWith("IPA")) << QFontInfo(gothic).family().toStdString();
    EXPECT_EQ(qtwindow::make_font(-20, FW_NORMAL, false, false, false, "Terminal").pixelSize(), 20)
        << "a negative height is the character height";
}

// A text drawn again is what drawing it afresh gives, whatever changed since it was last drawn
// there: the pixels under it, its colour, the mode, its place or its words.
TEST_F(DrawingTest, TextDrawnAgainIsTheTextDrawnAfresh)
{
    const struct Case {
        COLORREF under;
        COLORREF colour;
        int mode;
        int x;
        const wchar_t *text;
    } cases[] = {
        {RGB(240, 240, 240), RGB(0, 0, 0), TRANSPARENT, 40, L"Ch: 13"},
        {RGB(255, 255, 0), RGB(0, 0, 0), TRANSPARENT, 40, L"Ch: 13"},
        {RGB(240, 240, 240), RGB(255, 0, 0), TRANSPARENT, 40, L"Ch: 13"},
        {RGB(240, 240, 240), RGB(0, 0, 0), OPAQUE, 40, L"Ch: 13"},
        {RGB(240, 240, 240), RGB(0, 0, 0), TRANSPARENT, 41, L"Ch: 13"},
        {RGB(240, 240, 240), RGB(0, 0, 0), TRANSPARENT, 40, L"Ch: 18"},
    };
    const Case *now = &cases[0];
    HWND hwnd = drawn([this, &now](HDC hdc) {
        HBRUSH under = CreateSolidBrush(now->under);
        const RECT area = {0, 0, 334, 171};
        FillRect(hdc, &area, under);
        DeleteObject(under);
        SetTextColor(hdc, now->colour);
        SetBkMode(hdc, now->mode);
        HFONT font = label_font(12, L"MS UI Gothic");
        HGDIOBJ previous = SelectObject(hdc, font);
        TextOutW(hdc, now->x, 60, now->text, 6);
        SelectObject(hdc, previous);
        DeleteObject(font);
    });
    // A paint of less than the whole window is clipped, and clipped texts are always drawn afresh.
    const RECT all_but_the_last_column = {0, 0, 333, 171};
    const auto drawn_now = [&](const Case &c, const RECT *invalid) {
        now = &c;
        InvalidateRect(hwnd, invalid, FALSE);
        qtwindow::pump_messages();
        return qtwindow::client_image(hwnd).copy(0, 0, 333, 171);
    };
    std::vector<QImage> afresh;
    for (const Case &c : cases)
        afresh.push_back(drawn_now(c, &all_but_the_last_column));
    for (std::size_t i = 1; i < afresh.size(); ++i)
        EXPECT_NE(afresh[i], afresh[0]) << "case " << i << " draws pixels of its own";
    for (std::size_t i = afresh.size(); i-- > 0;)
        for (int twice = 0; twice < 2; ++twice)
            EXPECT_EQ(drawn_now(cases[i], nullptr), afresh[i]) << "case " << i << " drawn again";
}
