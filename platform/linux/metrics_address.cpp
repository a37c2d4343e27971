#include "platform/linux/metrics_address.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>

#include "platform/tuning/model/decimal.h"

namespace linux_platform {

std::optional<SocketAddress> parse_metrics_address(const std::string &text)
{
    const std::size_t colon = text.rfind(':');
    const std::string host = colon == std::string::npos ? "127.0.0.1" : text.substr(0, colon);
    std::uint64_t port = 0;
    if (!tuning::parse_decimal(colon == std::string::npos ? text : text.substr(colon + 1), 65535, port) || port == 0)
        return std::nullopt;
    SocketAddress address{};
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        auto *ipv6 = reinterpret_cast<sockaddr_in6 *>(&address.storage);
        ipv6->sin6_family = AF_INET6;
        ipv6->sin6_port = htons(static_cast<std::uint16_t>(port));
        if (inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &ipv6->sin6_addr) != 1)
            return std::nullopt;
        address.length = sizeof *ipv6;
        return address;
    }
    auto *ipv4 = reinterpret_cast<sockaddr_in *>(&address.storage);
    ipv4->sin_family = AF_INET;
    ipv4->sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &ipv4->sin_addr) != 1)
        return std::nullopt;
    address.length = sizeof *ipv4;
    return address;
}

} // namespace linux_platform
