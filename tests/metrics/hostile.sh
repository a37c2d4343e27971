#!/usr/bin/env bash
# The metrics endpoint and the live page against clients that misbehave: requests that are not
# HTTP, a header of a megabyte, clients that never finish their requests, a thousand connections
# at once, a flood of scrapes, and eight clients that trickle their requests a header at a time. Meanwhile the program samples on time, one line and one row a second,
# as its output and log show; a scrape is answered within a second while the eight trickle, and
# each of their connections is cut at its deadline; afterwards the endpoint answers as before, and
# its memory is as it was. What a user's scraper would not do is answered with HTTP's own codes:
# 404, 405; a scraper that keeps its connection alive scrapes on it again. A second program on the
# same port does not start.
#
#   tests/metrics/hostile.sh QUORVEX
set -uo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/../support/checks.sh"
needs curl "Debian's curl"
needs ab "Debian's apache2-utils"

work=$(mktemp -d)
started=()
trap 'kill "${started[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
url=http://127.0.0.1:$port

env -u DISPLAY -u WAYLAND_DISPLAY TZ=UTC QUORVEX_SIM=default "$program" --log "$work/levels.csv" \
  --metrics "$port" >"$work/out" 2>"$work/err" &
pid=$!
started+=("$pid")
answers() { [ "$(curl -s -o /dev/null -w '%{http_code}' "$url/metrics")" == 200 ]; }
require "the endpoint answers" 0 "$(wait_until 30 answers; echo $?)"
resident() { awk '/^VmRSS/ { print $2 }' "/proc/$pid/status"; }
curl -s "$url/metrics" >/dev/null
# The server's pools at their working size: a flood of scrapes, and as many at once as one address
# may make.
ab -q -n 2000 -c 4 "$url/metrics" >/dev/null 2>&1
python3 - "$port" <<'PYTHON'
import socket, sys
scrapes = [socket.create_connection(("127.0.0.1", int(sys.argv[1]))) for _ in range(160)]
for s in scrapes:
    s.sendall(b"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n")
for s in scrapes:
    s.recv(64)
    s.close()
PYTHON
before=$(resident)
begun=$(date +%s)

status() { curl -s -o /dev/null -w '%{http_code}' "$@"; }
# The live page's paths as the metrics': read-only.
for path in /metrics /events /page.js /page.css; do
  check "POST of $path" 405 "$(status -X POST -d x "$url$path")"
  check "HEAD of $path" 200 "$(status -I "$url$path")"
done
check "DELETE of /" 405 "$(status -X DELETE "$url/")"
check "another path" 404 "$(status "$url/metrics/../secret")"
check "/ links to /metrics" yes "$(curl -s "$url/" | grep -q 'href="/metrics"' && echo yes || echo no)"
check "two scrapes on one kept-alive connection: connections made" "1 0" \
  "$(curl -s -o /dev/null -o /dev/null -w '%{num_connects} ' "$url/metrics" "$url/metrics" | xargs)"

python3 - "$port" >"$work/hostile.log" 2>&1 <<'PYTHON' &
import socket, sys, time
port = int(sys.argv[1])
def connect():
    s = socket.socket()
    s.settimeout(5)
    s.connect(("127.0.0.1", port))
    return s
def exchange(data):
    s = connect()
    try:
        s.sendall(data)
        return s.recv(64).split(b"\r\n")[0].decode(errors="replace")
    except OSError as e:
        return "closed"
    finally:
        s.close()
print("garbage:", exchange(b"\x16\x03\x01 not HTTP at all\r\n\r\n"))
print("no version:", exchange(b"GET /metrics\r\n\r\n"))
print("megabyte header:", exchange(b"GET /metrics HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * 1048576 + b"\r\n\r\n"))
slow = [connect() for _ in ("/metrics", "/events")]
for s, path in zip(slow, ("/metrics", "/events")):
    s.sendall(b"GET " + path.encode() + b" HTTP/1.1\r\nHost: x\r\n")  # and never the rest
crowd = []
for _ in range(1000):
    try:
        crowd.append(connect())
    except OSError:
        pass
print("connections opened:", len(crowd))
time.sleep(3)
for s in crowd + slow:
    s.close()
PYTHON
hostile=$!
ab -q -r -t 6 -c 8 "$url/metrics" >"$work/flood.log" 2>&1
wait "$hostile"

# Eight clients, half of them to the page's events, send a header every half second, far within
# the idle time, and connect again when cut off; a scraper asks every quarter second meanwhile.
python3 - "$port" >"$work/trickle.log" 2>&1 <<'PYTHON'
import http.client, socket, sys, threading, time
port = int(sys.argv[1])
until = time.monotonic() + 8
held = []
def trickle(path):
    while time.monotonic() < until:
        s = socket.create_connection(("127.0.0.1", port))
        s.settimeout(0.5)
        begun = time.monotonic()
        line = b"GET " + path + b" HTTP/1.1\r\n"
        try:
            while time.monotonic() < until:
                s.sendall(line)
                line = b"X-Trickle: 1\r\n"
                try:
                    if not s.recv(64):
                        break
                except socket.timeout:
                    pass
            else:
                break
        except OSError:
            pass
        held.append(time.monotonic() - begun)
        s.close()
tricklers = [threading.Thread(target=trickle, args=(path,)) for path in (b"/metrics", b"/events") * 4]
for t in tricklers:
    t.start()
time.sleep(0.5)
late = 0
scrapes = 0
while time.monotonic() < until - 0.5:
    scrapes += 1
    try:
        c = http.client.HTTPConnection("127.0.0.1", port, timeout=1)
        c.request("GET", "/metrics")
        if c.getresponse().status != 200:
            late += 1
        c.close()
    except OSError:
        late += 1
    time.sleep(0.25)
for t in tricklers:
    t.join()
print("scrapes:", scrapes, "unanswered within a second:", late)
print("connections cut:", len(held), "held at the most:", "%.1f" % max(held, default=0))
PYTHON
flood_done=$(date +%s)
sleep 2

check "the endpoint answers afterwards" 200 "$(status "$url/metrics")"
check "requests that are not HTTP answered or closed" 0 "$(grep -c 'HTTP/1.1 200' "$work/hostile.log")"
check "the flood was answered" yes "$(grep -q '^Complete requests: *[1-9]' "$work/flood.log" && echo yes || echo no)"
check "every scrape answered within a second while eight clients trickle" "unanswered within a second: 0" \
  "$(grep -o 'unanswered.*' "$work/trickle.log")"
# The deadline is 2 s from the connection; a trickler learns of the cut at its next read.
check "each trickling connection cut at its deadline" yes \
  "$(awk '/^connections cut/ { print ($3 >= 8 && $8 <= 3) ? "yes" : "no: " $0 }' "$work/trickle.log")"
check "a row a second while attacked" yes "$(rows_each_second "$work/levels.csv" "$begun" "$flood_done")"
after=$(resident)
# AddressSanitizer holds freed memory back for a while: its build proves the rest, not this.
if [ -z "${ASAN_OPTIONS:-}" ]; then
  check "resident memory as before (within 1 MB)" yes \
    "$([ $((after - before)) -lt 1024 ] && echo yes || echo "no: $before kB, then $after kB")"
fi
check "standard error" "" "$(cat "$work/err")"

# A second program on the same port: a start-up failure, with the reason.
env -u DISPLAY -u WAYLAND_DISPLAY QUORVEX_SIM=default timeout 20 "$program" --metrics "$port" >"$work/second.out" \
  2>"$work/second.err"
check "a port in use: exit code 1" 1 "$?"
check "a port in use: the reason" "quorvex: cannot serve the metrics at $port: the port is in use" \
  "$(cat "$work/second.err")"
check "a port in use: no samples" "" "$(cat "$work/second.out")"

# Stopped between two ticks, the program has written a row for every line.
kill "$pid"
wait "$pid"
check "a line for every row" "$(($(wc -l <"$work/levels.csv") - 1))" "$(wc -l <"$work/out")"
[ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
