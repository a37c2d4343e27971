#!/usr/bin/env bash
# The real quorvex binary on a Wayland desktop: Debian's weston, headless, with its desktop shell,
# and Qt's Wayland support (Debian's qt6-wayland). The window starts, samples and closes through
# its close path; its pixels, read back by weston's own screenshooter, are the offscreen
# rendering's of the same samples, and at Qt's scale factor 2 those scaled by two. Without Qt's
# Wayland support, one line says what is missing; the compositor killed under the program is the
# lost display. Every wait is bounded. Exit code 77 is a skip.
#
#   tests/wayland/wayland.sh QUORVEX QUORVEX_SCREENSHOT
set -uo pipefail
program=$(realpath "$1")
screenshot=$(realpath "$2")
here=$(dirname "$0")

source "$here/../support/checks.sh"
needs weston "Debian's weston"
needs weston-screenshooter "Debian's weston"
needs convert "Debian's imagemagick"
needs qtpaths6 "Debian's qt6-base-dev-tools"
plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
if ! compgen -G "$plugins/platforms/libqwayland-*.so" >/dev/null; then
  echo "SKIP: Qt's Wayland support is not installed (Debian's qt6-wayland)"
  exit 77
fi

work=$(mktemp -d)
started=()
trap 'kill "${started[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
# The compositors' sockets go in a runtime folder of the test's own; nothing reaches the user's
# own displays.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM QT_SCALE_FACTOR
# Fixed levels: after thirty samples the window no longer changes.
export QUORVEX_SIM=steady

has_lines() { [ "$(wc -l <"$1")" -ge "$2" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }
# A headless weston whose socket is NAME; its pid in $compositor. Never idle, as an idle weston
# stops repainting and its screenshots never come; with --debug, which lets the screenshooter in.
start_compositor() { # name
  weston --backend=headless-backend.so --use-pixman --width=1024 --height=768 --idle-time=0 --debug --no-config \
    --socket="$1" >"$work/$1.log" 2>&1 &
  compositor=$!
  started+=("$compositor")
  if ! wait_until 20 test -S "$XDG_RUNTIME_DIR/$1"; then
    echo "SKIP: weston cannot run here: $(tail -1 "$work/$1.log")"
    exit 77
  fi
}
# The program on the display NAME, with more environment (NAME=VALUE...); its pid in $pid.
start() { # name, environment...
  local name=$1
  shift
  : >"$work/$name.out"
  env WAYLAND_DISPLAY="$name" "$@" "$program" >"$work/$name.out" 2>"$work/$name.err" &
  pid=$!
  started+=("$pid")
}
# "yes" once weston's screenshot of the display holds the picture, pixel for pixel.
shows() { # display, picture
  local shots=$work/shots-$1
  rm -rf "$shots" && mkdir "$shots"
  (cd "$shots" && WAYLAND_DISPLAY=$1 timeout 20 weston-screenshooter) &&
    "$here/find_image.py" "$shots"/*.png "$2" >/dev/null
}

start_compositor wayland-0
start_compositor wayland-1
compositor_two=$compositor
start wayland-0
at_one=$pid
start wayland-1 QT_SCALE_FACTOR=2
at_two=$pid

# The offscreen rendering of the same thirty samples; the chart alone (above the controls, which
# the toolkit draws at the screen's own scale) scaled by two.
QT_QPA_PLATFORM=offscreen "$screenshot" "$work/offscreen.png" >/dev/null
convert "$work/offscreen.png" -crop 334x150+0+0 +repage -sample 200% "$work/chart-by-two.png"

# Qt without its Wayland support, as on a machine without qt6-wayland: a copy of the program
# beside a qt.conf whose plugin folder has every platform plugin but Wayland's. (Qt looks in
# QT_QPA_PLATFORM_PLUGIN_PATH first, and in its own folder after it all the same.)
mkdir -p "$work/bare/plugins/platforms"
for plugin in "$plugins"/platforms/*.so; do
  [[ $plugin == */libqwayland-* ]] || ln -s "$plugin" "$work/bare/plugins/platforms/"
done
cp "$program" "$work/bare/quorvex"
printf '[Paths]\nPlugins = %s\n' "$work/bare/plugins" >"$work/bare/qt.conf"
unopened=(
  "without Qt's Wayland support|$work/bare/quorvex|WAYLAND_DISPLAY=wayland-0|quorvex: cannot open the display \"wayland-0\": Qt's Wayland support is not installed (Debian's qt6-wayland)"
  "no compositor on the socket|$program|WAYLAND_DISPLAY=wayland-9|quorvex: cannot open the display \"wayland-9\""
  "Qt's Wayland support where QT_QPA_PLATFORM_PLUGIN_PATH names it, no compositor|$work/bare/quorvex|QT_QPA_PLATFORM_PLUGIN_PATH=$plugins/platforms WAYLAND_DISPLAY=wayland-9|quorvex: cannot open the display \"wayland-9\""
  "without Qt's Wayland support, an X display named too|$work/bare/quorvex|WAYLAND_DISPLAY=wayland-0 DISPLAY=:99999|quorvex: cannot open the display \":99999\""
)
for case in "${unopened[@]}"; do
  IFS="|" read -r name binary environment line <<<"$case"
  read -r -a environment <<<"$environment"
  timeout 20 env "${environment[@]}" "$binary" >"$work/unopened.out" 2>"$work/unopened.err"
  check "$name: exit code" 1 "$?"
  check "$name: the line" "$line" "$(cat "$work/unopened.err")"
  check "$name: no samples" "" "$(cat "$work/unopened.out")"
done

wait_until 30 has_lines "$work/wayland-0.out" 1
require "on Wayland: the first sample" " 30.0 |  0.00E+00" "$(head -1 "$work/wayland-0.out")"
check "on Wayland: the window, after thirty samples, as offscreen" yes \
  "$(wait_until 90 shows wayland-0 "$work/offscreen.png" && echo yes || echo no)"
check "at scale factor 2: the chart, after thirty samples, as offscreen scaled by two" yes \
  "$(wait_until 90 shows wayland-1 "$work/chart-by-two.png" && echo yes || echo no)"

# SIGTERM closes the window through the program's close path, as on X.
kill -TERM "$at_one"
wait_until 15 ended "$at_one" || kill -KILL "$at_one"
wait "$at_one"
check "closed: exit code" 0 "$?"
check "closed: standard error" "" "$(cat "$work/wayland-0.err")"

kill "$compositor_two"
wait_until 15 ended "$at_two" || kill -KILL "$at_two"
wait "$at_two"
check "the compositor gone: exit code" 1 "$?"
check "the compositor gone: the line" 'quorvex: lost the connection to the display "wayland-1"' \
  "$(cat "$work/wayland-1.err")"

[ "$failures" -eq 0 ]
