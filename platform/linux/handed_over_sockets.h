// The listening sockets a service manager hands over, as systemd's socket activation does:
// LISTEN_PID names the process they are meant for, LISTEN_FDS their count, from descriptor 3 on.
#pragma once

#include <string>
#include <vector>

namespace linux_platform {

struct HandedOver {
    std::vector<int> sockets; // every one a listening stream socket
    std::string problem;      // what is wrong with them, in a usage error's words; empty when none is
};

HandedOver sockets_handed_over();

} // namespace linux_platform
