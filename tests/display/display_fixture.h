// Display tests run the real main window offscreen on the simulated tuner, with time driven by
// the test and message boxes answered by it.
#pragma once

#include <QColor>
#include <functional>
#include <string>

#include "support/sim_fixture.h"
#include "support/window_hooks.h"

class DisplayTest : public SimTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Start-up as the entry point does it, up to the first paint.
    void start();
    // Runs the entry point with the command line given; idle is called whenever the program waits
    // for something to happen. Keeps what it wrote to standard output in output.
    int run_program(std::function<void()> idle, std::wstring command_line = L"");
    // Lets the given time pass and handles what falls due; returns what the program wrote to
    // standard output meanwhile.
    std::string wait_ms(unsigned ms);
    // The user types into an edit and clicks elsewhere, so the edit loses the focus.
    void type_and_leave(HWND edit, const std::wstring &text);
    std::wstring text_of(HWND edit) const;
    QColor pixel(int x, int y) const;
    bool window_alive() const;
    // What the action writes to standard output, and to standard error. No test assertion may
    // run inside the action: the test's own report goes to standard output too.
    static std::string stdout_of(const std::function<void()> &action);
    static std::string stderr_of(const std::function<void()> &action);

    static const HINSTANCE instance;
    HWND hwnd = nullptr;
    HWND interval_edit = nullptr;
    HWND channel_edit = nullptr;
    HWND catv_check = nullptr;
    HWND apply_button = nullptr;
    std::string output;
};

// What the window services draw for these GDI calls alone, in a window of its own with the label
// font: the expected text, from the same platform the chart draws on.
QImage drawn_alone(const std::function<void(HDC)> &draw);

const QColor black(0, 0, 0);
const QColor grid(64, 128, 128);
const QColor bar_green(50, 255, 0);
const QColor menu_background(240, 240, 240);
