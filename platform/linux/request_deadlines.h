// A request must arrive whole by its deadline, however slowly it trickles in: the first on a
// connection within a short time of the connection, each next one on a kept-alive connection
// within the idle time after the answer before it. A connection that misses its deadline has its
// socket shut down; the HTTP server, reading the end of it, closes the connection. So a client
// that sends a byte now and then holds a connection no longer than any other.
#pragma once

#include <chrono>
#include <optional>
#include <unordered_map>

namespace linux_platform {

class RequestDeadlines {
public:
    using Clock = std::chrono::steady_clock;

    RequestDeadlines(Clock::duration first, Clock::duration next) : first_(first), next_(next) {}

    void opened(const void *connection, int socket, Clock::time_point now);
    // The request has arrived whole: the connection is answered, not waited on.
    void arrived(const void *connection);
    void answered(const void *connection, Clock::time_point now);
    void closed(const void *connection);
    // Shuts the late connections' sockets down; the time until the next deadline, none when no
    // request is awaited.
    std::optional<Clock::duration> cut_late(Clock::time_point now);

private:
    struct Awaited {
        int socket;
        std::optional<Clock::time_point> deadline;
    };
    Clock::duration first_;
    Clock::duration next_;
    std::unordered_map<const void *, Awaited> connections_;
};

} // namespace linux_platform
