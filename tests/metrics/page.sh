#!/usr/bin/env bash
# The live page of the real program on the simulated tuner, in Debian's headless Chromium, beside
# the program's own window under Xvfb: the page's chart is the window's, pixel for pixel and bar by
# bar, for the same samples; its texts are the window's; it updates within the interval without a
# reload, from its own address alone (its Content-Security-Policy). A hundred and twenty-eight
# pages' event streams at once hold the tick to a row a second, the scrapes answered, and the
# program's memory as it was; one more is refused.
#
#   tests/metrics/page.sh QUORVEX X_CLIENT
#
# QUORVEX_PAGE_SHOT=PATH keeps the page's screenshot there (docs/screenshot-page.png is one).
set -uo pipefail
program=$(realpath "$1")
x_client=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
source "$here/../support/checks.sh"
unset WAYLAND_DISPLAY # a Wayland session tries it before DISPLAY
if [ -z "${QUORVEX_IN_XVFB:-}" ]; then
  needs xvfb-run "Debian's xvfb"
  QUORVEX_IN_XVFB=1 exec timeout -k 10 240 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
needs curl "Debian's curl"
needs import "Debian's imagemagick"
browser=chromium-headless-shell
if ! command -v "$browser" >/dev/null && command -v apt-get >/dev/null && [ "$(id -u)" = 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$browser" >/dev/null 2>&1
fi
needs "$browser" "Debian's $browser"

work=$(mktemp -d)
started=()
trap 'kill "${started[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
url=http://127.0.0.1:$port

env TZ=UTC QUORVEX_SIM=default QUORVEX_SIM_SEED=5 "$program" --log "$work/levels.csv" --metrics "$port" \
  >"$work/out" 2>"$work/err" &
pid=$!
started+=("$pid")
answers() { [ "$(curl -s -o /dev/null -w '%{http_code}' "$url/")" == 200 ]; }
require "the page answers" 0 "$(wait_until 30 answers; echo $?)"
check "the page's policy: its own script, style and events only" \
  "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'" \
  "$(curl -sI "$url/" | tr -d '\r' | sed -n 's/^Content-Security-Policy: //p')"
check "nothing from another host" "" "$(curl -s "$url/" "$url/page.js" "$url/page.css" | grep -o '[a-z]*://[^"]*')"
check "the events' type" "text/event-stream" \
  "$(curl -s -m 2 -o /dev/null -w '%{content_type}' "$url/events")"

# The window's client area when the page shows a sample, and how many lines the console had then.
has_lines() { [ "$(wc -l <"$1")" -ge "$2" ]; }
require "eight samples" 0 "$(wait_until 30 has_lines "$work/out" 8; echo $?)"
read -r x y _ _ < <("$x_client" geometry Quorvex)
grab="wc -l <'$work/out' >'$work/grabbed'; import -window root -crop 334x171+$x+$y +repage '$work/window.png'"
python3 "$here/page_view.py" "$browser" "$url/" "$work/chart.png" "$work/page.png" sh -c "$grab" >"$work/view" 2>&1
shot=$?
[ "$shot" = 0 ] || cat "$work/view"
require "the page shown and shot" 0 "$shot"
read -r _ shown after < <(grep '^shot:' "$work/view")
check "the page and the window shot at the same sample" "$shown $shown" "$after $(cat "$work/grabbed")"
took=$(sed -n 's/^updated: [0-9]* after \([0-9.]*\) s$/\1/p' "$work/view")
# A tick a second, give or take the coarse timer's slack; the way from the tick to the page is short.
check "an update within the interval" yes "$(awk -v t="$took" 'BEGIN { print (t > 0 && t <= 1.5) ? "yes" : "no: " t " s" }')"
check "the page's header, as the window's" "Channel = 13, Interval = 1 (s)" \
  "$(grep '^header:' "$work/view" | cut -d' ' -f2-)"
check "the page's value box, as the console's line" "$(sed -n "${shown}p" "$work/out" | cut -c1-5 | xargs)" \
  "$(grep '^value:' "$work/view" | cut -d' ' -f2- | xargs)"
crop() { convert "$1" -crop 303x103+19+19 +repage rgb:- | md5sum; }
check "the chart, pixel for pixel" "$(crop "$work/window.png")" "$(crop "$work/chart.png")"
# A bar's height: the bar's colour down the middle of its column.
bars() { for i in $(seq 0 29); do convert "$1" -crop "1x120+$((25 + 10 * i))+0" txt:- | grep -ci '#32FF00'; done | xargs; }
window_bars=$(bars "$work/window.png")
check "the chart, bar by bar" "$window_bars" "$(bars "$work/chart.png")"
check "bars for every sample shown" yes \
  "$(echo "$window_bars" | awk -v n="$shown" '{ for (i = 1; i <= NF; i++) if ($i > 0) drawn++; print (drawn >= n - 1) ? "yes" : "no: " $0 }')"
[ -z "${QUORVEX_PAGE_SHOT:-}" ] || cp "$work/page.png" "$QUORVEX_PAGE_SHOT"

# The pages of a hundred and more browsers, read as a browser reads them, for ten seconds.
resident() { awk '/^VmRSS/ { print $2 }' "/proc/$pid/status"; }
streams() { # seconds
  python3 - "$port" "$1" <<'PYTHON'
import selectors, socket, sys, time
port, seconds = int(sys.argv[1]), float(sys.argv[2])
streams = selectors.DefaultSelector()
received = {}
for _ in range(129):
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(b"GET /events HTTP/1.1\r\nHost: x\r\nAccept: text/event-stream\r\n\r\n")
    streams.register(s, selectors.EVENT_READ)
    received[s] = b""
until = time.monotonic() + seconds
while time.monotonic() < until:
    for key, _ in streams.select(until - time.monotonic()):
        try:
            more = key.fileobj.recv(65536)
        except ConnectionResetError:
            more = b""
        received[key.fileobj] += more
        if not more:
            streams.unregister(key.fileobj)
answers = [r.split(b"\r\n")[0].decode() for r in received.values()]
print("refused:", sum("503" in a for a in answers))
print("samples at the fewest:", min(r.count(b"\ndata: ") for r in received.values() if b" 200 " in r[:16]))
PYTHON
}
streams 2 >/dev/null # the server's pools at their working size
before=$(resident)
begun=$(date +%s)
streams 10 >"$work/streams" &
crowd=$!
sleep 1
check "a scrape while the pages are open" 200 "$(curl -s -m 1 -o /dev/null -w '%{http_code}' "$url/metrics")"
wait "$crowd"
ended=$(date +%s)
check "the pages beyond 128 refused" "refused: 1" "$(grep refused "$work/streams")"
check "every page a sample a second" yes \
  "$(awk '/fewest/ { print ($4 >= 8) ? "yes" : "no: " $0 }' "$work/streams")"
check "a row a second while the pages are open" yes "$(rows_each_second "$work/levels.csv" "$begun" "$ended")"
after=$(resident)
# AddressSanitizer holds freed memory back for a while: its build proves the rest, not this.
if [ -z "${ASAN_OPTIONS:-}" ]; then
  check "resident memory as before (within 1 MB)" yes \
    "$([ $((after - before)) -lt 1024 ] && echo yes || echo "no: $before kB, then $after kB")"
fi

"$x_client" close Quorvex
wait_until 15 eval '! kill -0 "$pid" 2>/dev/null'
wait "$pid"
check "the close box ends it with 0" 0 "$?"
check "standard error" "" "$(cat "$work/err")"
[ "$checks" -gt 0 ] && [ "$failures" -eq 0 ]
