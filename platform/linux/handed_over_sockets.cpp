#include "platform/linux/handed_over_sockets.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/texts.h"
#include "platform/tuning/model/decimal.h"

namespace linux_platform {

namespace {

const int first_handed_over = 3;

bool listening_stream(int descriptor)
{
    int value = 0;
    socklen_t size = sizeof value;
    if (getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &value, &size) != 0 || value != SOCK_STREAM)
        return false;
    size = sizeof value;
    return getsockopt(descriptor, SOL_SOCKET, SO_ACCEPTCONN, &value, &size) == 0 && value != 0;
}

} // namespace

HandedOver sockets_handed_over()
{
    const char *pid = std::getenv("LISTEN_PID");
    const char *count = std::getenv("LISTEN_FDS");
    std::uint64_t meant_for = 0;
    std::uint64_t handed = 0;
    // Sockets meant for another process (the one that started this, say) are not this one's to take.
    if (pid == nullptr || count == nullptr || !tuning::parse_decimal(pid, INT_MAX, meant_for) ||
        meant_for != static_cast<std::uint64_t>(getpid()) ||
        !tuning::parse_decimal(count, INT_MAX - first_handed_over, handed) || handed == 0)
        return {{}, translated("the service manager handed over no listening socket")};
    HandedOver handed_over;
    for (int descriptor = first_handed_over; descriptor < first_handed_over + static_cast<int>(handed); ++descriptor) {
        if (!listening_stream(descriptor))
            return {{},
                    formatted(translated("the service manager handed over descriptor %d, which is not a listening "
                                         "stream socket"),
                              descriptor)};
        handed_over.sockets.push_back(descriptor);
    }
    return handed_over;
}

} // namespace linux_platform
