// The metrics endpoint: one thread of its own runs a libmicrohttpd server per listening socket
// and answers GET and HEAD of /metrics, and of the live page (/, its script and style, and its
// events) from the tally the last tick published. A scrape copies the tally under a lock the tick
// holds only to replace it; nothing else is shared, so a scrape never waits on the tuner and a
// tick never waits on a client. The tick wakes the thread, which makes the event once and resumes
// every page's stream to send it. The limits (connections, a deadline per request, memory per
// request, the pages open) keep slow or hostile clients from starving the scrapes or growing
// memory.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
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
#include "platform/linux/live_page.h"
#include "platform/linux/metrics_address.h"
#include "platform/linux/metrics_page.h"
#include "platform/linux/request_deadlines.h"
#include "platform/linux/wide_text.h"
#include "platform/platform.h"

namespace {

using Clock = linux_platform::RequestDeadlines::Clock;

// The pages open at once, over every address: a hundred, and room. A page's stream holds its
// connection for as long as the page is open, so the pages have connections of their own beside
// the scrapes' 64.
const unsigned stream_limit = 128;
// Per listening socket. One address's share leaves room for others where the metrics are served
// to the network; on the loopback address every local user shares one, and the deadline is what
// keeps any of them from holding connections other than the pages'.
const unsigned connection_limit = 64 + stream_limit;
const unsigned connections_per_client = 32 + stream_limit;
// A scraper sends its request at once; between scrapes it may keep the connection idle this long.
const auto request_time = std::chrono::seconds(2);
const unsigned idle_seconds = 10;
// A page's stream carries a comment line this often between samples, well within the idle time
// whatever the interval: the connection stays open, and a page gone is noticed.
const auto keep_alive_period = std::chrono::seconds(4);
const size_t event_block = 4096;                 // what a stream hands libmicrohttpd at a time: an event, whole
const size_t request_memory = size_t{16} * 1024; // the request line and its headers: far beyond a scraper's

std::vector<MHD_Daemon *> servers;
std::thread serving;
int stop_serving = -1; // an eventfd the serving thread wakes to, to end
int sampled = -1;      // an eventfd the tick wakes the serving thread with
linux_platform::RequestDeadlines deadlines(request_time, std::chrono::seconds(idle_seconds)); // the serving thread's

std::mutex snapshot_lock;
linux_platform::MetricsSnapshot published;  // what scrapes read, under the lock
linux_platform::MetricsSnapshot collecting; // the tick's own, copied into published

// The serving thread's: the last snapshot's event, made once for every page, and its number.
std::string latest_event;
std::uint64_t latest_number = 0;

// An open page's stream: the event it is sending, and where it is in it.
struct Stream {
    MHD_Connection *connection = nullptr;
    int socket = -1;
    std::uint64_t number = 0; // of the event it sends or last sent
    std::string unsent;
    std::size_t sent = 0;
    bool comment_due = false;
    bool suspended = false;
    bool closed_by_page = false;
};
std::vector<Stream *> streams; // the serving thread's

MHD_Result send(MHD_Connection *connection, unsigned status, MHD_Response *response, const char *type)
{
    if (response == nullptr)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    if (status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD");
    if (std::strncmp(type, "text/html", 9) == 0)
        MHD_add_response_header(response, "Content-Security-Policy", linux_platform::live_page_policy);
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result answer(MHD_Connection *connection, unsigned status, const std::string &body, const char *type)
{
    return send(connection, status,
                MHD_create_response_from_buffer(body.size(), const_cast<char *>(body.data()), MHD_RESPMEM_MUST_COPY),
                type);
}

// The next of the stream's bytes: the newest event once, a comment line when one is due, else
// nothing until the tick or the keep-alive resumes it.
ssize_t stream_more(void *cls, std::uint64_t, char *buffer, size_t room)
{
    Stream &stream = *static_cast<Stream *>(cls);
    if (stream.closed_by_page)
        return MHD_CONTENT_READER_END_WITH_ERROR;
    if (stream.sent == stream.unsent.size()) {
        if (stream.number != latest_number) {
            stream.unsent = latest_event;
            stream.number = latest_number;
        } else if (stream.comment_due) {
            stream.unsent = ":\n\n";
        } else {
            stream.suspended = true;
            MHD_suspend_connection(stream.connection);
            return 0;
        }
        stream.sent = 0;
        stream.comment_due = false;
    }
    const size_t length = std::min(room, stream.unsent.size() - stream.sent);
    std::copy_n(stream.unsent.data() + stream.sent, length, buffer);
    stream.sent += length;
    return static_cast<ssize_t>(length);
}

void stream_closed(void *cls)
{
    auto *stream = static_cast<Stream *>(cls);
    streams.erase(std::find(streams.begin(), streams.end(), stream));
    delete stream;
}

void resume(Stream &stream)
{
    if (stream.suspended)
        MHD_resume_connection(stream.connection);
    stream.suspended = false;
}

void resume_streams()
{
    for (Stream *stream : streams)
        resume(*stream);
}

MHD_Result open_stream(MHD_Connection *connection)
{
    if (streams.size() >= stream_limit)
        return answer(connection, MHD_HTTP_SERVICE_UNAVAILABLE, "too many pages open\n", "text/plain; charset=utf-8");
    auto *stream = new Stream;
    stream->connection = connection;
    stream->socket = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd;
    MHD_Response *response =
        MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, event_block, stream_more, stream, stream_closed);
    if (response == nullptr) {
        delete stream;
        return MHD_NO;
    }
    streams.push_back(stream);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    return send(connection, MHD_HTTP_OK, response, "text/event-stream");
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
    struct Served {
        const char *path;
        const char *body;
        const char *type;
    };
    static const Served pages[] = {{"/", linux_platform::live_page_document, "text/html; charset=utf-8"},
                                   {"/page.js", linux_platform::live_page_script, "text/javascript; charset=utf-8"},
                                   {"/page.css", linux_platform::live_page_style, "text/css; charset=utf-8"}};
    for (const Served &page : pages)
        if (std::strcmp(url, page.path) == 0)
            return answer(connection, MHD_HTTP_OK, page.body, page.type);
    if (std::strcmp(url, "/events") == 0)
        // A HEAD has no body to stream.
        return std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0 ? answer(connection, MHD_HTTP_OK, "", "text/event-stream")
                                                              : open_stream(connection);
    if (std::strcmp(url, "/metrics") != 0)
        return answer(connection, MHD_HTTP_NOT_FOUND, "not found\n", "text/plain; charset=utf-8");
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

// The newest snapshot's event, for the streams to send.
void make_latest_event()
{
    linux_platform::MetricsSnapshot snapshot;
    {
        const std::lock_guard<std::mutex> hold(snapshot_lock);
        snapshot = published;
    }
    latest_event = linux_platform::live_page_event(snapshot);
    ++latest_number;
}

// The serving thread: waits on every server's events, the tick's, the suspended streams' sockets
// and the nearest deadline, its own, a server's or the streams' keep-alive, then lets each server
// work and cuts the late requests off. libmicrohttpd watches no suspended connection: a page
// closed is seen here, and its stream resumed to end, so that its connection is free at once.
void serve()
{
    std::vector<pollfd> watched{{stop_serving, POLLIN, 0}, {sampled, POLLIN, 0}};
    for (MHD_Daemon *server : servers)
        watched.push_back({MHD_get_daemon_info(server, MHD_DAEMON_INFO_EPOLL_FD)->epoll_fd, POLLIN, 0});
    const std::size_t serving_events = watched.size();
    std::vector<Stream *> suspended;
    make_latest_event();
    std::optional<Clock::duration> next_deadline;
    Clock::time_point next_keep_alive = Clock::now() + keep_alive_period;
    for (;;) {
        if (!streams.empty())
            next_deadline = std::min(next_deadline.value_or(Clock::duration::max()), next_keep_alive - Clock::now());
        long long wait_ms =
            next_deadline ? std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(*next_deadline).count())
                          : -1;
        for (MHD_Daemon *server : servers) {
            MHD_UNSIGNED_LONG_LONG server_ms = 0;
            if (MHD_get_timeout(server, &server_ms) == MHD_YES)
                wait_ms = wait_ms < 0 ? static_cast<long long>(server_ms)
                                      : std::min(wait_ms, static_cast<long long>(server_ms));
        }
        // An interrupted wait, like any other, only comes round again.
        watched.resize(serving_events);
        suspended.clear();
        for (Stream *stream : streams)
            if (stream->suspended) {
                suspended.push_back(stream);
                watched.push_back({stream->socket, POLLRDHUP, 0});
            }
        poll(watched.data(), watched.size(), static_cast<int>(std::min<long long>(wait_ms, INT_MAX)));
        for (std::size_t i = 0; i < suspended.size(); ++i)
            if (watched[serving_events + i].revents != 0) {
                suspended[i]->closed_by_page = true;
                resume(*suspended[i]);
            }
        if (watched[0].revents != 0) {
            // No server may stop with a connection suspended.
            resume_streams();
            return;
        }
        if (watched[1].revents != 0) {
            eventfd_t ticks = 0;
            eventfd_read(sampled, &ticks);
            make_latest_event();
            resume_streams();
        }
        if (Clock::now() >= next_keep_alive) {
            for (Stream *stream : streams)
                stream->comment_due = true;
            resume_streams();
            next_keep_alive = Clock::now() + keep_alive_period;
        }
        for (MHD_Daemon *server : servers)
            MHD_run(server);
        next_deadline = deadlines.cut_late(Clock::now());
    }
}

// The reasons in the program's own words, translated by its catalogue rather than the C library's.
std::string bind_failure_reason(int error)
{
    switch (error) {
    case EADDRINUSE: return translated("the port is in use");
    case EACCES:
    case EPERM: return translated("permission denied");
    case EADDRNOTAVAIL: return translated("no such address on this machine");
    case EAFNOSUPPORT: return translated("this machine has no IPv6");
    default: return formatted(translated("error %d"), error);
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
    return MHD_start_daemon(MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr, nullptr, handle, nullptr,
                            MHD_OPTION_LISTEN_SOCKET, listener, MHD_OPTION_CONNECTION_LIMIT, connection_limit,
                            MHD_OPTION_PER_IP_CONNECTION_LIMIT, connections_per_client, MHD_OPTION_CONNECTION_TIMEOUT,
                            idle_seconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, request_memory,
                            MHD_OPTION_NOTIFY_CONNECTION, connection_changed, nullptr, MHD_OPTION_NOTIFY_COMPLETED,
                            request_completed, nullptr, MHD_OPTION_END);
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
    return linux_platform::from_system_bytes(
        translated("not an address to serve at; use PORT, or ADDRESS:PORT with an IPv4 address or an IPv6 address "
                   "in brackets, PORT from 1 to 65535, or systemd"));
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
    sampled = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
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
    close(sampled);
}

void publish_sample(const SampleRecord &record, const WindowView &view)
{
    if (servers.empty())
        return;
    linux_platform::tally_sample(record, collecting);
    collecting.view = view;
    {
        const std::lock_guard<std::mutex> hold(snapshot_lock);
        published = collecting;
    }
    eventfd_write(sampled, 1);
}
