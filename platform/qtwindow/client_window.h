// Windows of registered classes: the class's procedure, a caption and close box when asked for,
// and a persistent backing image of the client area that GDI paints into.
#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>

#include "platform/platform.h"
#include "platform/qtwindow/window.h"
#include "platform/qtwindow/window_class.h"

namespace qtwindow {

class ClientWidget : public QWidget {
public:
    ClientWidget(HWND handle, QWidget *parent);

    // Kept between repaints: what a repaint does not touch stays as it was, as on Windows.
    QImage backing;
    // The backing image as the widget was last asked to show it.
    QImage shown;

protected:
    void paintEvent(QPaintEvent *event) override;
    // The close box asks the window procedure; the window closes only if it destroys itself.
    void closeEvent(QCloseEvent *event) override;
    // A plain window has no dialog manager: Tab moves the focus nowhere.
    bool focusNextPrevChild(bool) override { return false; }

private:
    HWND handle_;
};

class ClientWindow : public Window {
public:
    ClientWindow(HWND handle, const WindowClass &window_class, const CREATESTRUCTW &create, QWidget *parent);

    LRESULT procedure(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT default_procedure(UINT message, WPARAM wParam, LPARAM lParam) override;

    // A WM_PAINT is due while part of a visible window is invalid.
    bool needs_paint() const;
    void invalidate(const RECT *rect, bool erase);
    HDC begin_paint(PAINTSTRUCT &paint);
    void end_paint(const PAINTSTRUCT &paint);
    const QImage &backing() const;

private:
    ClientWidget &client() const;

    WNDPROC procedure_;
    HBRUSH background_;
    QRegion invalid_;
    // A new window is wholly invalid and gets its class background before its first paint.
    bool erase_pending_ = true;
};

} // namespace qtwindow
