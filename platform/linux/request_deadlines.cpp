#include "platform/linux/request_deadlines.h"

#include <sys/socket.h>

namespace linux_platform {

void RequestDeadlines::opened(const void *connection, int socket, Clock::time_point now)
{
    connections_[connection] = {socket, now + first_};
}

void RequestDeadlines::arrived(const void *connection)
{
    const auto found = connections_.find(connection);
    if (found != connections_.end())
        found->second.deadline.reset();
}

void RequestDeadlines::answered(const void *connection, Clock::time_point now)
{
    const auto found = connections_.find(connection);
    if (found != connections_.end())
        found->second.deadline = now + next_;
}

void RequestDeadlines::closed(const void *connection) { connections_.erase(connection); }

std::optional<RequestDeadlines::Clock::duration> RequestDeadlines::cut_late(Clock::time_point now)
{
    std::optional<Clock::duration> next;
    for (auto &[connection, awaited] : connections_) {
        if (!awaited.deadline)
            continue;
        if (*awaited.deadline <= now) {
            // Once: the server closes the connection when it next reads it.
            shutdown(awaited.socket, SHUT_RDWR);
            awaited.deadline.reset();
        } else if (!next || *awaited.deadline - now < *next) {
            next = *awaited.deadline - now;
        }
    }
    return next;
}

} // namespace linux_platform
