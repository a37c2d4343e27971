#include "platform/qtwindow/application.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unistd.h>
#include <xcb/xcb.h>

#include "platform/qtwindow/accelerators.h"
#include "platform/qtwindow/message_loop.h"
#include "platform/qtwindow/termination.h"
#include "platform/qtwindow/wayland.h"
#include "platform/qtwindow/window.h"
#include "platform/texts.h"

namespace qtwindow {

namespace {

std::string problem;

const char *display_name()
{
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return x11 != nullptr && *x11 != 0 ? x11 : (wayland != nullptr ? wayland : "");
}

bool has_display(const char *variable)
{
    const char *value = std::getenv(variable);
    return value != nullptr && *value != 0;
}

// Only X11 and Wayland open a display; any other window system that QT_QPA_PLATFORM names is
// itself what failed.
bool platform_needs_display(std::string_view platform)
{
    return platform.empty() || platform.starts_with("xcb") || platform.starts_with("wayland");
}

// The window systems to try in turn, offscreen last: the one QT_QPA_PLATFORM names; or the
// session's display, Wayland first in a Wayland session; offscreen alone without a display.
std::string window_systems()
{
    const char *named = std::getenv("QT_QPA_PLATFORM");
    if (named != nullptr && *named != 0)
        return std::string_view(named) == "offscreen" ? named : std::string(named) + ";offscreen";
    const char *session = std::getenv("XDG_SESSION_TYPE");
    const bool wayland_session = session != nullptr && std::string_view(session) == "wayland";
    std::string systems;
    if (has_display("WAYLAND_DISPLAY") && wayland_session)
        systems += "wayland;";
    if (has_display("DISPLAY"))
        systems += "xcb;";
    if (has_display("WAYLAND_DISPLAY") && !wayland_session)
        systems += "wayland;";
    return systems + "offscreen";
}

// The line for a start on offscreen when another window system was asked for first.
std::string problem_of(const std::string &systems)
{
    const std::string first = systems.substr(0, systems.find(';'));
    if (first == "offscreen")
        return {};
    if (platform_needs_display(first))
        return formatted(translated("quorvex: cannot open the display \"%s\"%s"), display_name(),
                         missing_wayland_support());
    return formatted(translated("quorvex: cannot start the window system \"%s\" that QT_QPA_PLATFORM names"),
                     first.c_str());
}

// Standard error carries the program's diagnostics only, so the toolkit's own messages are not
// passed on. Should not even offscreen start, the start ends with the program's own line; a
// Wayland connection that broke ends the program with its own line too.
bool starting = false;
void toolkit_message(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    report_lost_wayland_connection(message);
    if (type != QtFatalMsg || !starting)
        return;
    std::fputs(translated("quorvex: cannot start a window system\n"), stderr);
    std::fflush(stderr);
    _exit(1);
}

// The X connection the windows live on; null when they are not on X.
xcb_connection_t *x_connection = nullptr;

// When the X connection breaks (the server gone, or the program's client killed by another, as
// xdotool windowkill does) the toolkit ends the process with exit code 1 and only its own
// message: the program says what happened in its own words on the way out.
void report_lost_display()
{
    if (x_connection == nullptr || xcb_connection_has_error(x_connection) == 0)
        return;
    std::fprintf(stderr, translated("quorvex: lost the connection to the display \"%s\"\n"), display_name());
    std::fflush(stderr);
}

// Another X client may destroy the main window under the program: the window then goes through
// its close path, as when its close box is pressed, instead of sampling on invisibly.
class DestroyedFromOutside final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY)
            return false;
        const xcb_window_t destroyed = reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window;
        for (HWND hwnd : window_handles()) {
            const Window *window = find_window(hwnd);
            if (window->parent() != nullptr || window->destroying ||
                window->widget().internalWinId() != static_cast<WId>(destroyed))
                continue;
            post_close(hwnd);
        }
        return false;
    }
};

} // namespace

void start_application()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    qInstallMessageHandler(toolkit_message);
    // A repaint gives X the few pixels that changed. Through a shared-memory image, each repaint
    // would first wait for the server to finish reading the last one, a round trip that costs
    // more than sending those pixels on the connection.
    setenv("QT_XCB_NO_MITSHM", "1", 0);
    const std::string systems = window_systems();
    setenv("QT_QPA_PLATFORM", systems.c_str(), 1);
    static int argc = 1;
    static char name[] = "quorvex";
    static char *argv[] = {name, nullptr};
    // Kept until the process ends, like a Windows thread's message queue.
    starting = true;
    auto *app = new QApplication(argc, argv);
    starting = false;
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        problem = problem_of(systems);
    if (const auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>()) {
        x_connection = x11->connection();
        std::atexit(report_lost_display);
    }
    // The desktop entry's name, which Wayland shells match the window with; X11 shells go by
    // WM_CLASS, which the entry names.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVEX_APP_ID));
    // Qt takes the C library's locale from the environment; numbers the program formats keep a
    // decimal point whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    // Windows end only through WM_CLOSE and the program's own loop, never by the toolkit.
    QApplication::setQuitOnLastWindowClosed(false);
    static DestroyedFromOutside destroyed_from_outside;
    app->installNativeEventFilter(&destroyed_from_outside);
    hear_termination_requests();
    watch_accelerator_keys(*app);
}

const std::string &window_system_problem() { return problem; }

} // namespace qtwindow
