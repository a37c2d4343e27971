// Where the metrics are served: "[ADDRESS:]PORT", a port alone on the loopback address only.
#pragma once

#include <optional>
#include <string>
#include <sys/socket.h>

namespace linux_platform {

struct SocketAddress {
    sockaddr_storage storage;
    socklen_t length;
};

std::optional<SocketAddress> parse_metrics_address(const std::string &text);

} // namespace linux_platform
