#include "platform/qtwindow/application.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qtwindow {

// Without a session's runtime directory Qt warns on standard error, which is for the program's
// own diagnostics. It gets a private directory of the kind Qt would fall back to.
static void provide_runtime_directory()
{
    if (std::getenv("XDG_RUNTIME_DIR") != nullptr)
        return;
    const std::string directory =
        (std::filesystem::temp_directory_path() / ("runtime-" + std::to_string(getuid()))).string();
    mkdir(directory.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", directory.c_str(), 0);
}

QApplication &application()
{
    if (QCoreApplication::instance() != nullptr) {
        auto *existing = qobject_cast<QApplication *>(QCoreApplication::instance());
        if (existing == nullptr)
            qFatal("qtwindow: windows need a QApplication, not a QCoreApplication");
        return *existing;
    }
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    provide_runtime_directory();
    static int argc = 1;
    static char name[] = "quorvex";
    static char *argv[] = {name, nullptr};
    // Kept until the process ends, like a Windows thread's message queue.
    auto *app = new QApplication(argc, argv);
    // Windows end only through WM_CLOSE and the program's own loop, never by the toolkit.
    QApplication::setQuitOnLastWindowClosed(false);
    return *app;
}

} // namespace qtwindow
