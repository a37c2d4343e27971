// The Linux start-up's view of the window services on Qt.
#include "platform/linux/window_services.h"

#include "platform/qtwindow/application.h"

namespace linux_platform {

const bool shows_windows = true;

void start_window_services() { qtwindow::start_application(); }

} // namespace linux_platform
