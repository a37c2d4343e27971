// The Linux start-up's view of the window services of a program that shows no window: nothing to
// start; the loop takes the requests to end the program when it waits.
#include "platform/linux/window_services.h"

namespace linux_platform {

const bool shows_windows = false;

void start_window_services() {}

} // namespace linux_platform
