// Every window test starts from fresh services on the virtual clock, with message boxes taken by
// the test, and makes windows of a test class whose procedure records each message it gets.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <functional>
#include <map>
#include <ostream>
#include <vector>

#include "platform/platform.h"
#include "support/window_hooks.h"

struct Received {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Lets failures print the colour they got.
void PrintTo(const QColor &colour, std::ostream *os);

// What the class background (brush value COLOR_MENU + 1) paints.
const QColor menu_grey(240, 240, 240);

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A top-level window of the test class, hidden unless the style says WS_VISIBLE.
    HWND create_window(DWORD style = WS_CAPTION | WS_SYSMENU, int x = 10, int y = 20, int width = 340,
                       int height = 200);
    HWND create_control(HWND parent, const wchar_t *window_class, const wchar_t *text, DWORD style, int x, int y,
                        int width, int height, UINT id = 0);
    // Shown and painted once, as the program's start-up does.
    HWND create_shown_window();

    // How the test procedure answers a message; messages without a handler go to DefWindowProcW.
    using Handler = std::function<LRESULT(HWND, WPARAM, LPARAM)>;
    void handle(UINT message, Handler handler);
    // WM_PAINT draws with draw between BeginPaint and EndPaint.
    void paint_with(std::function<void(HDC)> draw);

    // The messages the test procedure got with that number, in order.
    std::vector<Received> received(UINT message) const;
    std::vector<Received> log;

    QColor pixel(HWND hwnd, int x, int y) const;

private:
    static LRESULT CALLBACK test_procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static WindowTest *current;
    std::map<UINT, Handler> handlers_;
};
