// The metrics endpoint: one thread of its own runs a libmicrohttpd server per listening socket
// and answers GET and HEAD of /metrics (and of /, a page that links to it) from the tally the last
// tick published. A scrape copies the tally under a lock the tick holds only to replace it;
// nothing else is shared, so a scrape never waits on the tuner and a tick never waits on a client.
// The limits (connections, a deadline per request, memory per request) keep slow or hostile
// clients from starving the scrapes or growing memory.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <microhttpd.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/linux/handed_over_sockets.h"
#include "platform/linux/metrics_address.h"
#include "platform/linux/metrics_page.h"
#include "platform/linux/request_deadlines.h"
#include "platform/linux/wide_text.h"
#include "platform/platform.h"

namespace {

using Clock = linux_platform::RequestDeadlines::Clock;

// Per listening socket. One address's share leaves room for others where the metrics are served
// to the network; on the loopback address every local user shares one, and the deadline is what
// keeps any of them from holding connections.
const unsigned connection_limit = 64;
const unsigned connections_per_client = 32;
// A scraper sends its request at once; between scrapes it may keep the connection idle this long.
const auto request_time = std::chrono::seconds(2);
const unsigned idle_seconds = 10;
const size_t request_memory = size_t{16} * 1024; // the request line and its headers: far beyond a scraper's

std::vector<MHD_Daemon *> servers;
std::thread serving;
int stop_serving = -1; // an eventfd the serving thread wakes to, to end
linux_platform::RequestDeadlines deadlines(request_time, std::chrono::seconds(idle_seconds)); // the serving thread's

std::mutex snapshot_lock;
linux_platform::MetricsSnapshot published;  // what scrapes read, under the lock
linux_platform::MetricsSnapshot collecting; // the tick's own, copied into published

const char *const front_page =
    "<html><head><title>Quorvex</title></head><body><a href=\"/metrics\">Metrics</a></body></html>\n";

MHD_Result answer(MHD_Connection *connection, unsigned status, const std::string &body, const char *type)
{
    MHD_Response *response =
        MHD_create_response_from_buffer(body.size(), const_cast<char *>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    if (status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result handle(void *, MHD_Connection *connection, const char *url, const char *method, const char *, const char *,
                  size_t *, void **request)
{
    // The first call has the request line and headers, whole. A refusal goes at once, and the
    // connection with it, its body unread; an answer goes at the next call, after which
    // libmicrohttpd keeps the connection alive.
    static int arrived;
    const bool readable =
        std::strcmp(method, MHD_HTTP_METHOD_GET) == 0 || std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0;
    if (*request == nullptr) {
        *request = &arrived;
        deadlines.arrived(connection);
        return readable ? MHD_YES
                        : answer(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "method not allowed\n",
                                 "text/plain; charset=utf-8");
    }
    const bool metrics = std::strcmp(url, "/metrics") == 0;
    if (!metrics && std::strcmp(url, "/") != 0)
        return answer(connection, MHD_HTTP_NOT_FOUND, "not found\n", "text/plain; charset=utf-8");
    if (!metrics)
        return answer(connection, MHD_HTTP_OK, front_page, "text/html; charset=utf-8");
    linux_platform::MetricsSnapshot snapshot;
    {
        const std::lock_guard<std::mutex> hold(snapshot_lock);
        snapshot = published;
    }
    return answer(connection, MHD_HTTP_OK, linux_platform::metrics_page(snapshot),
                  "text/plain; version=0.0.4; charset=utf-8");
}

void connection_changed(void *, MHD_Connection *connection, void **, MHD_ConnectionNotificationCode change)
{
    if (change == MHD_CONNECTION_NOTIFY_STARTED)
        deadlines.opened(connection, MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd,
                         Clock::now());
    else
        deadlines.closed(connection);
}

void request_completed(void *, MHD_Connection *connection, void **, MHD_RequestTerminationCode)
{
    deadlines.answered(connection, Clock::now());
}

// The serving thread: waits on every server's events and the nearest deadline, its own or a
// server's, then lets each server work and cuts the late requests off.
void serve()
{
    std::vector<pollfd> watched{{stop_serving, POLLIN, 0}};
    for (MHD_Daemon *server : servers)
        watched.push_back({MHD_get_daemon_info(server, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd, POLLIN, 0});
    std::optional<Clock::duration> next_deadline;
    for (;;) {
        long long wait_ms = next_deadline ? std::chrono::ceil<std::chrono::milliseconds>(*next_deadline).count() : -1;
        for (MHD_Daemon *server : servers) {
            MHD_UNSIGNED_LONG_LONG server_ms = 0;
            if (MHD_get_timeout(server, &server_ms) == MHD_YES)
                wait_ms = wait_ms < 0 ? static_cast<long long>(server_ms)
                                      : std::min(wait_ms, static_cast<long long>(server_ms));
        }
        // An interrupted wait, like any other, only comes round again.
        poll(watched.data(), watched.size(), static_cast<int>(std::min<long long>(wait_ms, INT_MAX)));
        if (watched[0].revents != 0)
            return;
        for (MHD_Daemon *server : servers)
            MHD_run(server);
        next_deadline = deadlines.cut_late(Clock::now());
    }
}

// The reasons in fixed words, the same under every locale.
std::string bind_failure_reason(int error)
{
    switch (error) {
    case EADDRINUSE: return "the port is in use";
    case EACCES:
    case EPERM: return "permission denied";
    case EADDRNOTAVAIL: return "no such address on this machine";
    case EAFNOSUPPORT: return "this machine has no IPv6";
    default: return "error " + std::to_string(error);
    }
}

// The address that stands for the listening sockets systemd hands over, as its socket activation
// does: the service itself may then have no network of its own.
const std::wstring handed_over = L"systemd";

// A socket of our own at the address, bound and listening; -1, with errno, when it cannot be.
int listen_at(const linux_platform::SocketAddress &where)
{
    const int listener = socket(where.storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener < 0)
        return -1;
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(listener, reinterpret_cast<const sockaddr *>(&where.storage), where.length) == 0 &&
        listen(listener, 64) == 0)
        return listener;
    const int error = errno;
    close(listener);
    errno = error;
    return -1;
}

MHD_Daemon *serve_at(int listener)
{
    return MHD_start_daemon(MHD_USE_EPOLL, 0, nullptr, nullptr, handle, nullptr, MHD_OPTION_LISTEN_SOCKET, listener,
                            MHD_OPTION_CONNECTION_LIMIT, connection_limit, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
                            connections_per_client, MHD_OPTION_CONNECTION_TIMEOUT, idle_seconds,
                            MHD_OPTION_CONNECTION_MEMORY_LIMIT, request_memory, MHD_OPTION_NOTIFY_CONNECTION,
                            connection_changed, nullptr, MHD_OPTION_NOTIFY_COMPLETED, request_completed, nullptr,
                            MHD_OPTION_END);
}

void stop_servers()
{
    for (MHD_Daemon *server : servers)
        MHD_stop_daemon(server);
    servers.clear();
}

} // namespace

std::wstring metrics_address_problem(const std::wstring &address)
{
    if (address == handed_over)
        return linux_platform::from_system_bytes(linux_platform::sockets_handed_over().problem);
    if (linux_platform::parse_metrics_address(linux_platform::to_system_bytes(address)))
        return {};
    return L"not an address to serve at; use PORT, or ADDRESS:PORT with an IPv4 address or an IPv6 address in "
           L"brackets, PORT from 1 to 65535, or systemd";
}

bool start_metrics(const std::wstring &address)
{
    const std::string text = linux_platform::to_system_bytes(address);
    std::vector<int> listeners;
    std::string reason;
    if (address == handed_over) {
        linux_platform::HandedOver given = linux_platform::sockets_handed_over();
        listeners = std::move(given.sockets);
        reason = std::move(given.problem);
        for (const int listener : listeners) {
            fcntl(listener, F_SETFD, FD_CLOEXEC);
            fcntl(listener, F_SETFL, fcntl(listener, F_GETFL) | O_NONBLOCK);
        }
    } else if (const int listener = listen_at(*linux_platform::parse_metrics_address(text)); listener >= 0) {
        listeners.push_back(listener);
    } else {
        reason = bind_failure_reason(errno);
    }
    for (std::size_t started = 0; started < listeners.size() && reason.empty(); ++started) {
        if (MHD_Daemon *server = serve_at(listeners[started])) {
            servers.push_back(server);
            continue;
        }
        reason = bind_failure_reason(ENOMEM);
        stop_servers(); // the servers close their own sockets
        std::for_each(listeners.begin() + static_cast<std::ptrdiff_t>(started), listeners.end(), close);
    }
    if (!reason.empty()) {
        std::fprintf(stderr, translated("quorvex: cannot serve the metrics at %s: %s\n"), text.c_str(), reason.c_str());
        return false;
    }
    // The version, for the scrapes before the first sample.
    collecting.version = QUORVEX_VERSION;
    published = collecting;
    stop_serving = eventfd(0, EFD_CLOEXEC);
    serving = std::thread(serve);
    return true;
}

void stop_metrics()
{
    if (servers.empty())
        return;
    eventfd_write(stop_serving, 1);
    serving.join();
    close(stop_serving);
    stop_servers();
}

void publish_sample(const SampleRecord &record)
{
    if (servers.empty())
        return;
    linux_platform::tally_sample(record, collecting);
    const std::lock_guard<std::mutex> hold(snapshot_lock);
    published = collecting;
}
