// The metrics endpoint: libmicrohttpd's own thread answers GET and HEAD of /metrics (and of /, a
// page that links to it) from the snapshot the last tick published. A scrape copies the snapshot
// under a lock the tick holds only to replace it; nothing else is shared, so a scrape never waits
// on the tuner and a tick never waits on a client. The server's limits (connections, idle time,
// memory per request) keep a slow or hostile client from starving the sampling or growing memory.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <microhttpd.h>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/linux/metrics_address.h"
#include "platform/linux/metrics_page.h"
#include "platform/linux/wide_text.h"
#include "platform/platform.h"
#include "platform/tuning/frontend/frontend_driver.h"
#include "platform/tuning/model/driver.h"

namespace {

const unsigned connection_limit = 32;
const unsigned connections_per_client = 8;
const unsigned idle_seconds = 10;
const size_t request_memory = size_t{16} * 1024; // the request line and its headers: far beyond a scraper's

MHD_Daemon *server = nullptr;
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
                  size_t *, void **)
{
    const bool metrics = std::strcmp(url, "/metrics") == 0;
    if (!metrics && std::strcmp(url, "/") != 0)
        return answer(connection, MHD_HTTP_NOT_FOUND, "not found\n", "text/plain; charset=utf-8");
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 && std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
        return answer(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "method not allowed\n", "text/plain; charset=utf-8");
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

// The reasons in fixed words, the same under every locale.
std::string bind_failure_reason(int error)
{
    switch (error) {
    case EADDRINUSE: return "the port is in use";
    case EACCES:
    case EPERM: return "permission denied";
    case EADDRNOTAVAIL: return "no such address on this machine";
    case EAFNOSUPPORT: return "this machine has no IPv6";
    case ENOTSOCK: return "the service manager handed over no listening socket";
    default: return "error " + std::to_string(error);
    }
}

// The address that stands for the listening socket systemd hands over, as its socket activation
// does: the service itself may then have no network of its own.
const std::wstring handed_over = L"systemd";

// The one listening stream socket systemd passed (LISTEN_PID, LISTEN_FDS, from descriptor 3), or -1.
int socket_handed_over()
{
    const char *pid = std::getenv("LISTEN_PID");
    const char *count = std::getenv("LISTEN_FDS");
    if (pid == nullptr || count == nullptr || std::to_string(getpid()) != pid || std::string(count) != "1")
        return -1;
    const int passed = 3;
    int listening = 0;
    socklen_t size = sizeof listening;
    if (getsockopt(passed, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || listening == 0)
        return -1;
    fcntl(passed, F_SETFD, FD_CLOEXEC);
    fcntl(passed, F_SETFL, fcntl(passed, F_GETFL) | O_NONBLOCK);
    return passed;
}

void describe_tuner(linux_platform::MetricsSnapshot &snapshot)
{
    const tuning::TunerIdentity identity = tuning::driver().identity();
    snapshot.version = QUORVEX_VERSION;
    snapshot.driver = identity.driver;
    snapshot.device = identity.device;
    int watched_khz = 0;
    snapshot.mode = tuning::driver().watching(watched_khz) ? "watches" : "tunes";
}

} // namespace

std::wstring metrics_address_problem(const std::wstring &address)
{
    if (address == handed_over || linux_platform::parse_metrics_address(linux_platform::to_system_bytes(address)))
        return {};
    return L"not an address to serve at; use PORT, or ADDRESS:PORT with an IPv4 address or an IPv6 address in "
           L"brackets, PORT from 1 to 65535, or systemd";
}

bool start_metrics(const std::wstring &address)
{
    const std::string text = linux_platform::to_system_bytes(address);
    int listener = -1;
    int error = 0;
    if (address == handed_over) {
        listener = socket_handed_over();
        error = listener < 0 ? ENOTSOCK : 0;
    } else {
        const std::optional<linux_platform::SocketAddress> where = linux_platform::parse_metrics_address(text);
        listener = socket(where->storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        error = listener < 0 ? errno : 0;
        if (listener >= 0) {
            const int on = 1;
            setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            if (bind(listener, reinterpret_cast<const sockaddr *>(&where->storage), where->length) != 0 ||
                listen(listener, 64) != 0)
                error = errno;
        }
    }
    if (error == 0) {
        describe_tuner(collecting);
        published = collecting;
        server =
            MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL, 0, nullptr, nullptr, handle, nullptr,
                             MHD_OPTION_LISTEN_SOCKET, listener, MHD_OPTION_CONNECTION_LIMIT, connection_limit,
                             MHD_OPTION_PER_IP_CONNECTION_LIMIT, connections_per_client, MHD_OPTION_CONNECTION_TIMEOUT,
                             idle_seconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, request_memory, MHD_OPTION_END);
        if (server != nullptr)
            return true;
        error = ENOMEM;
    }
    if (listener >= 0)
        close(listener);
    std::fprintf(stderr, "quorvex: cannot serve the metrics at %s: %s\n", text.c_str(),
                 bind_failure_reason(error).c_str());
    return false;
}

void stop_metrics()
{
    if (server != nullptr)
        MHD_stop_daemon(server);
    server = nullptr;
    collecting = {};
}

void publish_sample(const SampleRecord &record)
{
    if (server == nullptr)
        return;
    describe_tuner(collecting);
    collecting.sampled = true;
    collecting.last = record;
    ++collecting.samples[record.state];
    const tuning::Statistics *statistics = tuning::frontend_statistics();
    collecting.frontend.reset();
    if (statistics != nullptr) {
        collecting.frontend = *statistics;
        linux_platform::count_frontend(*statistics, collecting.counters);
    }
    const std::lock_guard<std::mutex> hold(snapshot_lock);
    published = collecting;
}
