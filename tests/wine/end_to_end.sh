#!/usr/bin/env bash
# The real quorvex.exe end to end under Wine, against the simulated tuner served in-process by
# quorvex_simtuner.dll: the devices found through Wine's own system device enumerator, the graph
# built and connected by Wine's own filter graph, the default channel tuned, sample lines byte for
# byte as the Linux build prints them for the same seed, bars on screen, Apply used with the mouse
# and keyboard, a long paste, and the close box ending the program with every object released. A
# second run unplugs the tuner after three samples. A third starts on a chosen channel with a log,
# whose rows must be the Linux build's but for the layers' columns, empty on Windows; then help, version, usage errors and two logs that cannot
# be opened, each in a message box; help and a usage error also in Japanese, Windows' language under a Japanese locale. Every wait is bounded.
#
#   tests/wine/end_to_end.sh BUILD_WINDOWS_DIR BUILD_LINUX_DIR ARTEFACT_DIR
set -uo pipefail
source_dir=$(realpath "$(dirname "$0")/../..")
build=$(realpath "$1")
linux_build=$(realpath "$2")
artefacts=$(realpath -m "$3")
mkdir -p "$artefacts"

if [ -z "${QUORVEX_IN_XVFB:-}" ]; then
  QUORVEX_IN_XVFB=1 exec timeout -k 10 300 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

wine=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
work=$(mktemp -d)
# The runs' logs and output stay in the artefacts, whatever happened.
trap 'cp "$work"/*.log "$work"/*.out "$work"/*.err "$artefacts/" 2>/dev/null
      /usr/lib/wine/wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX" "$work"' EXIT
seed=7

source "$(dirname "$0")/../support/checks.sh"
lines() { wc -l <"$1"; }
has_lines() { [ "$(lines "$1")" -ge "$2" ]; }
logged() { grep -q -x "$2" "$1"; }
ended() { ! kill -0 "$1" 2>/dev/null; }
came_up() { logged "$work/$1.log" "call put_TuneRequest [0-9]*" || [ -s "$work/$1.err" ]; }
driver() { timeout 60 "$wine" "$build/window_driver.exe" "$@" 2>/dev/null; }

# A run of the program; its log, standard output and error are $work/NAME.{log,out,err}.
start_program() { # name, scenario, options...
  : >"$work/$1.log" && : >"$work/$1.out" && : >"$work/$1.err"
  env "${comma_locale[@]}" QUORVEX_SIM="$2" QUORVEX_SIM_SEED=$seed QUORVEX_SIM_LOG="Z:$work/$1.log" \
    timeout 120 "$wine" "$build/quorvex.exe" "${@:3}" >"$work/$1.out" 2>"$work/$1.err" &
  program=$!
}
close_program() { # name: clicks the close box, waits for the end, checks the exit and the objects
  check "$1: close box clicked" "0" "$(driver close >/dev/null; echo $?)"
  wait_until 30 ended "$program" || kill "$program"
  wait "$program"
  check "$1: exit code" "0" "$?"
  check "$1: every object released" "live-objects 0" "$(grep '^live-objects' "$work/$1.log")"
  check "$1: no object released twice" "over-releases 0" "$(grep '^over-releases' "$work/$1.log")"
}

# Both programs run under a comma-decimal locale, made here: neither the lines nor the log may
# change with it.
mkdir -p "$work/locales"
localedef -i de_DE -f UTF-8 "$work/locales/de_DE.UTF-8" 2>/dev/null
[ -f "$work/locales/de_DE.UTF-8/LC_NUMERIC" ] || { echo "FAIL cannot make a de_DE.UTF-8 locale"; exit 1; }
comma_locale=(LOCPATH="$work/locales" LC_ALL=de_DE.UTF-8)

# The Linux build's lines for the same seed, and its log on cable channel 27, while Wine starts.
(cd "$work" && env "${comma_locale[@]}" QT_QPA_PLATFORM=offscreen QUORVEX_SIM=default QUORVEX_SIM_SEED=$seed \
  timeout 4.5 "$linux_build/quorvex" >linux.out 2>&1) &
linux_run=$!
(cd "$work" && env "${comma_locale[@]}" QT_QPA_PLATFORM=offscreen QUORVEX_SIM=default QUORVEX_SIM_SEED=$seed \
  timeout 4.5 "$linux_build/quorvex" --channel 27 --catv --log linux.csv >linux-logged.out 2>&1) &
linux_logged_run=$!

timeout 120 "$wine" wineboot -i >/dev/null 2>&1 || { echo "FAIL wineboot"; exit 1; }
# Xvfb has no window manager: Wine draws the window's frame and close box itself, as Windows does,
# with the close box's glyph from the Marlett font.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
# The Japanese interface fonts the program asks for, as a Japanese Windows has them: the labels'
# proportional face, and for the controls' fixed-pitch face the fixed-pitch Gothic Windows falls
# back to.
replace_font() { timeout 60 "$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$1" /d "$2" /f >/dev/null 2>&1; }
replace_font "MS UI Gothic" IPAPGothic
replace_font "MS Gothic UI" IPAGothic
# The simulated tuner is registered in this scratch prefix only.
mkdir -p "$WINEPREFIX/drive_c/quorvex-sim"
cp "$build/platform/tuning/win32dll/quorvex_simtuner.dll" "$WINEPREFIX/drive_c/quorvex-sim/"
timeout 60 "$wine" regedit /S "$source_dir/platform/tuning/win32dll/simtuner.reg" >/dev/null 2>&1

# The default scenario: the graph comes up and the default channel is tuned.
start_program default ""
wait_until 60 came_up default
require "default: standard error at start" "" "$(cat "$work/default.err")"
require "default: tune requests at start" "473000" "$(sed -n 's/^call put_TuneRequest //p' "$work/default.log")"
# Wine's graph connects each pair through the pins; the transport information filter accepts only
# the demultiplexer's PSI pin.
check "default: connections tried by Wine's graph" "$(
  printf '%s\n' \
    "Microsoft DVB-T Network Provider.Antenna Out -> SKNET HDTV BDA Digital Tuner_0.Input0" \
    "SKNET HDTV BDA Digital Tuner_0.MPEG2 Transport -> SKNET HDTV BDA Digital Capture_0.MPEG2 Transport" \
    "SKNET HDTV BDA Digital Capture_0.MPEG2 Transport Out -> MPEG-2 Demultiplexer.MPEG-2 Stream" \
    "MPEG-2 Demultiplexer.Video -> BDA MPEG-2 Transport Information Filter.Input" \
    "MPEG-2 Demultiplexer.Audio -> BDA MPEG-2 Transport Information Filter.Input" \
    "MPEG-2 Demultiplexer.PSI -> BDA MPEG-2 Transport Information Filter.Input"
)" "$(sed -n 's/^call Connect //p' "$work/default.log")"

# Sampling: the first lines are the Linux build's, byte for byte.
wait_until 30 has_lines "$work/default.out" 3
wait "$linux_run"
require "default: Linux reference has three lines" "3" "$(head -3 "$work/linux.out" | wc -l)"
check "default: first three samples as on Linux" "$(head -3 "$work/linux.out" | od -c)" \
  "$(head -3 "$work/default.out" | od -c)"

# The window with its bars, cut from the screen.
read -r x y width height < <(driver rect)
timeout 30 import -window root "$work/screen.png" 2>/dev/null
convert "$work/screen.png" -crop "${width}x${height}+${x}+${y}" +repage "$artefacts/screenshot-wine.png"
bar_pixels=$(convert "$artefacts/screenshot-wine.png" -fill black +opaque '#32FF00' -fill white -opaque '#32FF00' \
  -format '%[fx:int(mean*w*h)]' info: 2>/dev/null)
check "default: bars drawn" "yes" "$([ "${bar_pixels:-0}" -gt 0 ] && echo yes || echo no)"
# As on a Japanese Windows: "Interval:" whole before the interval edit, a proper close box.
fonts=$(driver fonts)
check "default: the labels' face" "label_face=MS UI Gothic" "$(grep '^label_face=' <<<"$fonts")"
check "default: \"Interval:\" ends before the edit" "yes" \
  "$([ "$(sed -n 's/^interval_width=//p' <<<"$fonts")" -le 42 ] 2>/dev/null && echo yes || echo no)"
check "default: the close box's glyph face" "close_glyph_face=Marlett" "$(grep '^close_glyph_face=' <<<"$fonts")"

# Apply with cable channel 27, typed and clicked: exactly one new tune request, at 249000 kHz.
check "default: settings typed and ticked" "$(printf 'channel=27\ncatv=1')" "$(driver apply 27 1)"
wait_until 15 logged "$work/default.log" "call put_TuneRequest 249000"
applied_at=$(lines "$work/default.out")
wait_until 15 has_lines "$work/default.out" $((applied_at + 2))
check "default: tune requests after Apply" "$(printf '473000\n249000')" \
  "$(sed -n 's/^call put_TuneRequest //p' "$work/default.log")"

# A long paste into the channel box lands at once, cut at the box's limit; left, the box is
# corrected as any entry is; the ticks and the repaints go on.
check "default: 8,000 digits pasted into the channel box, which is then left" "channel=63" \
  "$(driver paste 8000 | grep '^channel=')"
pasted_at=$(lines "$work/default.out")
chart() { timeout 30 import -window root -crop "${width}x${height}+${x}+${y}" +repage rgb:- 2>/dev/null | md5sum; }
chart_after_paste=$(chart)
wait_until 10 has_lines "$work/default.out" $((pasted_at + 3))
check "default: ticks go on after the paste" "yes" \
  "$(has_lines "$work/default.out" $((pasted_at + 3)) && echo yes || echo no)"
check "default: the chart is repainted after the paste" "yes" \
  "$([ "$(chart)" != "$chart_after_paste" ] && echo yes || echo no)"
check "default: standard error" "" "$(cat "$work/default.err")"
close_program default

# The tuner unplugged after three samples: no line for a failed sample, and the program runs on.
start_program unplugged "unplug-after=3"
wait_until 60 came_up unplugged
require "unplugged: tune requests at start" "473000" "$(sed -n 's/^call put_TuneRequest //p' "$work/unplugged.log")"
wait_until 15 has_lines "$work/unplugged.err" 2
check "unplugged: still running after failed samples" "yes" "$(kill -0 "$program" 2>/dev/null && echo yes || echo no)"
check "unplugged: failed samples on standard error" "get_level: IKsPropertySet.Set hr=8007048F" \
  "$(sort -u "$work/unplugged.err")"
check "unplugged: sample lines" "3" "$(lines "$work/unplugged.out")"
check "unplugged: first three samples as on Linux" "$(head -3 "$work/linux.out" | od -c)" \
  "$(od -c <"$work/unplugged.out")"
close_program unplugged

# Started from a command line on cable channel 27 with a log in a folder whose name has a blank,
# so Windows' own splitting of the command line is in play: the channel tuned at start, and the
# log's rows as the Linux build writes them for the same seed, apart from the time, which is in
# the zone the run was started in (Japan's, 9 hours ahead of UTC all year).
mkdir -p "$work/log folder" && : >"$work/log folder/levels.csv"
TZ=JST-9 start_program logged "" --channel 27 --catv --log "Z:$work/log folder/levels.csv"
wait_until 60 came_up logged
require "logged: tune requests at start" "249000" "$(sed -n 's/^call put_TuneRequest //p' "$work/logged.log")"
wait_until 30 has_lines "$work/log folder/levels.csv" 4
close_program logged
cp "$work/log folder/levels.csv" "$artefacts/wine-levels.csv"
wait "$linux_logged_run"
check "logged: header as on Linux" "$(head -1 "$work/linux.csv")" "$(head -1 "$work/log folder/levels.csv")"
check "logged: rows as on Linux apart from the time and the layers" "$(sed -n '2,4p' "$work/linux.csv" | cut -d, -f2-7)" \
  "$(sed -n '2,4p' "$work/log folder/levels.csv" | cut -d, -f2-7)"
check "logged: the layers' columns, empty: Windows reports no layers" ",,,,,,,,,,,,,,,,," \
  "$(sed -n '2,4p' "$work/log folder/levels.csv" | cut -d, -f8- | sort -u)"
check "logged: local times with their offset, in the zone of the run" "3" "$(sed -n '2,4p' "$work/log folder/levels.csv" |
  grep -c -E '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\+09:00,')"
check "logged: one row per sample line" "$(lines "$work/logged.out")" \
  "$(($(lines "$work/log folder/levels.csv") - 1))"
check "logged: standard error" "" "$(cat "$work/logged.err")"

# Help, version, usage errors (the metrics' and --watch, which Windows has none of) and logs that
# cannot be opened, each answered in a message box, which says why, as the program has no console;
# none of them starts the tuner.
answered() { # name, exit code, box, options...
  : >"$work/$1.log"
  QUORVEX_SIM_LOG="Z:$work/$1.log" timeout 60 "$wine" "$build/quorvex.exe" "${@:4}" >"$work/$1.out" 2>"$work/$1.err" &
  local run=$!
  check "$1: message box" "$3" "$(timeout 40 "$wine" "$build/box_probe.exe" read 2>/dev/null)"
  timeout 40 "$wine" "$build/box_probe.exe" ok >/dev/null 2>&1
  wait "$run"
  check "$1: exit code" "$2" "$?"
  check "$1: standard output" "" "$(cat "$work/$1.out")"
  check "$1: tuner untouched" "" "$(grep '^call ' "$work/$1.log")"
}
LANG=C answered help 0 "$(printf 'caption=Quorvex\ntext=%s' "$(LANG=C "$linux_build/quorvex" --help)")" --help
# In the user's language for Windows, which Wine takes from the locale: the Japanese string table.
localedef -i ja_JP -f UTF-8 "$work/locales/ja_JP.UTF-8" 2>/dev/null
japanese=(LOCPATH="$work/locales" LANG=ja_JP.UTF-8)
env "${japanese[@]}" "$linux_build/quorvex" --help >"$work/help-ja.txt"
check "the Linux build's help in Japanese" "使い方: quorvex [オプション]..." "$(head -1 "$work/help-ja.txt")"
export LOCPATH="$work/locales"
LANG=ja_JP.UTF-8 answered help-ja 0 "$(printf 'caption=Quorvex\ntext=%s' "$(cat "$work/help-ja.txt")")" --help
LANG=ja_JP.UTF-8 answered usage-ja 2 "$(printf 'caption=Quorvex\ntext=%s' \
  "quorvex: --channel 70: 範囲外です (13 から 62、--catv では 63 まで)。quorvex --help を参照してください")" --channel 70
unset LOCPATH
answered version 0 "$(printf 'caption=Quorvex\ntext=quorvex 1.0.0.1')" --version
usage="quorvex: --channel 70: out of range (13 to 62, or 63 with --catv); see quorvex --help"
answered usage 2 "$(printf 'caption=Quorvex\ntext=%s' "$usage")" --channel 70
check "usage: standard error" "" "$(cat "$work/usage.err")"
answered metrics 2 \
  "$(printf 'caption=Quorvex\ntext=quorvex: --metrics 19110: the metrics are served on Linux only; see quorvex --help')" \
  --metrics 19110
# Windows gives a tuner to one program at a time: there is nothing to watch.
answered watch 2 "$(printf 'caption=Quorvex\ntext=%s' \
  "quorvex: --watch is for Linux, where another program may hold the tuner; see quorvex --help")" --watch
answered unopenable 1 \
  "$(printf 'caption=失敗\ntext=ログファイルを開けません！終了します\nZ:%s: its folder does not exist' "$work/missing/levels.csv")" \
  --log "Z:$work/missing/levels.csv"
check "unopenable: standard error" "quorvex: cannot open the log Z:$work/missing/levels.csv: its folder does not exist" \
  "$(cat "$work/unopenable.err")"
answered folder 1 "$(printf 'caption=失敗\ntext=ログファイルを開けません！終了します\nZ:%s: it is a folder' "$work")" \
  --log "Z:$work"
check "folder: standard error" "quorvex: cannot open the log Z:$work: it is a folder" "$(cat "$work/folder.err")"

[ "$failures" -eq 0 ]
