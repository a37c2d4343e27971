#include "platform/qtwindow/wayland.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <unistd.h>

#include "platform/texts.h"

namespace qtwindow {

namespace {

bool is_set(const char *variable)
{
    const char *value = std::getenv(variable);
    return value != nullptr && *value != 0;
}

// The platform plugins the toolkit looked for, by the keys their metadata gives: read without
// loading them, in the folders it searched.
bool has_wayland_plugin()
{
    QStringList folders;
    if (is_set("QT_QPA_PLATFORM_PLUGIN_PATH"))
        folders << QString::fromLocal8Bit(std::getenv("QT_QPA_PLATFORM_PLUGIN_PATH"));
    for (const QString &path : QCoreApplication::libraryPaths())
        folders << path + QStringLiteral("/platforms");
    for (const QString &folder : folders) {
        const QDir platforms(folder);
        for (const QString &file : platforms.entryList(QDir::Files)) {
            const QJsonObject metadata = QPluginLoader(platforms.filePath(file)).metaData();
            for (const QJsonValue key : metadata.value(QStringLiteral("MetaData"))[QStringLiteral("Keys")].toArray())
                if (key.toString().startsWith(QStringLiteral("wayland"), Qt::CaseInsensitive))
                    return true;
        }
    }
    return false;
}

} // namespace

const char *missing_wayland_support()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    const bool wayland_asked =
        platform == nullptr || *platform == 0 || std::string_view(platform).starts_with("wayland");
    if (is_set("DISPLAY") || !is_set("WAYLAND_DISPLAY") || !wayland_asked || has_wayland_plugin())
        return "";
    return translated(": Qt's Wayland support is not installed (Debian's qt6-wayland)");
}

void report_lost_wayland_connection(const QString &message)
{
    // Qt's own words, the only sign it gives before it ends the process.
    if (!message.startsWith(QStringLiteral("The Wayland connection ")))
        return;
    // The toolkit's event thread and the GUI thread may both find the connection broken: the
    // first says so and ends the process, the other waits here for that.
    static std::mutex reporting;
    const std::lock_guard<std::mutex> once(reporting);
    const char *name = std::getenv("WAYLAND_DISPLAY");
    // Unset, the client library's default display.
    std::fprintf(stderr, translated("quorvex: lost the connection to the display \"%s\"\n"),
                 is_set("WAYLAND_DISPLAY") ? name : "wayland-0");
    std::fflush(stderr);
    _exit(1);
}

} // namespace qtwindow
