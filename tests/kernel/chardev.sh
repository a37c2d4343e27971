#!/usr/bin/env bash
# The real Linux program on character-device tuners of the PT and PX families, inside the virtual
# machine (tests/kernel/init) beside vidtv's frontend. Each node is a double, tests/kernel/ptx_double:
# a CUSE device answering px4_drv's ioctls (pt3_drv's open rule where asked), with raw C/N values
# from a script, recording what it was asked. The program runs without a window (--headless) but in
# alignment mode, on an X server of its own. Each scenario says what it provokes and what it
# expects; the exit status is 0 when every check held. Every wait is bounded.
#
#   tests/kernel/chardev.sh TOP OUT    TOP the repository, OUT where the logs go (OUT/chardev)
set -uo pipefail
top=$1
out=$2
work=$top/build/kernel
quorvex=$top/build/ci/quorvex
logs=$(mktemp -d)
trap 'mkdir -p "$out/chardev" && cp "$logs"/* "$out/chardev/" 2>/dev/null' EXIT

source "$(dirname "$0")/../support/checks.sh"
# The doubles by node name; each records to $logs/RECORD.record and answers C/N from $logs/SCRIPT.cnr.
declare -A doubles
start_double() { # name, record, script, options...
    "$work/ptx_double" --name "$1" --record "$logs/$2.record" --cnr "$logs/$3.cnr" "${@:4}" 2>>"$logs/doubles.err" &
    doubles[$1]=$!
    wait_until 10 test -c "/dev/$1" || { echo "FAIL no /dev/$1"; exit 1; }
}
stop_double() { # name
    kill -TERM "${doubles[$1]}"
    wait "${doubles[$1]}"
}
recorded() { tr '\n' ' ' <"$logs/$1.record" 2>/dev/null | sed 's/ $//'; }
has_recorded() { grep -q -x "$2" "$logs/$1.record" 2>/dev/null; } # record, line
# The program of the run at hand, without a window, one sample a second; its output and
# diagnostics are $logs/RUN.out and .err.
start_program() { # run, options...
    run=$1
    "$quorvex" --headless --interval 1 "${@:2}" >"$logs/$run.out" 2>"$logs/$run.err" &
    program=$!
}
lines() { wc -l <"$logs/$run.out"; }
has_lines() { [ "$(lines)" -ge "$1" ]; }
has_failed() { [ "$(grep -c '^get_level: ' "$logs/$run.err")" -ge "$1" ]; } # count: samples failed
ended() { ! kill -0 "$program" 2>/dev/null; }
ended_or() { ended || "$@"; } # command...: for waits that an ended program cuts short
stop_program() { # leaves the program's exit code in $ended_with
    kill -TERM "$program" 2>/dev/null
    wait_until 30 ended || kill -KILL "$program"
    wait "$program"
    ended_with=$?
}
# A whole run of the program, bounded: its exit code, output and diagnostics in $logs/RUN.*.
run_program() { # run, options...
    timeout 30 "$quorvex" "${@:2}" >"$logs/$1.out" 2>"$logs/$1.err"
    echo $? >"$logs/$1.code"
}
result() { echo "$(cat "$logs/$1.code"):$(cat "$logs/$1.err")"; }

# vidtv's frontend, as the scenarios before this left it, or loaded when this runs alone.
[ -e /dev/dvb/adapter0/frontend0 ] || for module in tuner demod bridge; do
    busybox insmod "$work/vidtv/dvb-vidtv-$module.ko" || exit 1
done
echo 55050 >"$logs/steady.cnr"

# ---- Three nodes: px4video2 held by a sleeping process, px4video3 free, pt3video2 of pt3_drv
# (a second open gets EIO there) held too.
start_double px4video2 held steady
start_double px4video3 free steady
start_double pt3video2 held-pt3 steady --busy-error EIO
sleep 600 3</dev/px4video2 &
holder=$!
sleep 600 3</dev/pt3video2 &
holder_pt3=$!
wait_until 10 has_recorded held open && wait_until 10 has_recorded held-pt3 open

# Found and listed: one tab-separated line per receiver, vidtv's frontend first, with the name and
# delivery systems the kernel gives it; each node with its driver, ISDB-T (nodes 2 and 3 of a group
# of four are terrestrial) and its holder by name and process, or free. Listing opens no node.
run_program list --list
check "--list: exit code and standard error" "0:" "$(result list)"
check "--list: one line per receiver" "$(printf '%s\t%s\t%s\t%s\t%s\n' \
    /dev/dvb/adapter0/frontend0 frontend "Dummy demod for DVB-T/T2/C/S/S2" DVB-T,DVB-T2,DVB-C,DVB-S,DVB-S2 free \
    /dev/pt3video2 chardev "pt3video2 (pt3_drv)" ISDB-T "sleep:$holder_pt3" \
    /dev/px4video2 chardev "px4video2 (px4_drv)" ISDB-T "sleep:$holder" \
    /dev/px4video3 chardev "px4video3 (px4_drv)" ISDB-T free)" "$(cat "$logs/list.out")"
check "--list: no node opened" "open|open|" "$(recorded held)|$(recorded held-pt3)|$(recorded free)"

# Held by another process: whichever answer the driver gives a second open (px4_drv's EALREADY,
# pt3_drv's EIO), the program says the node is in use, then the tune that failed, and ends with 1;
# the holder keeps it, and the driver saw one refused open.
for node in px4video2:held:$holder pt3video2:held-pt3:$holder_pt3; do
    IFS=: read -r name record pid <<<"$node"
    run_program "held-$name" --headless --device "/dev/$name"
    check "held $name: the lines and exit code" \
        "1:/dev/$name: in use by another program; this driver lets one program open a tuner at a time
request_tuning: put_TuneRequest" "$(result "held-$name")"
    check "held $name: the holder still holds it" "/dev/$name" "$(readlink "/proc/$pid/fd/3")"
    check "held $name: one open refused" "open busy" "$(recorded "$record")"
done

# Tuned with px4_drv's numbers: UHF N is N + 50 (13 to 52), cable C13 to C22 are 3 to 12 and
# C23 to C63 are 22 to 62, slot 0. UHF 62 (767 MHz) is beyond px4_drv's UHF 52: refused before any tune.
for row in "63:--channel 13" "102:--channel 52" "3:--catv --channel 13" "62:--catv --channel 63"; do
    start_program tune --device /dev/px4video3 ${row#*:}
    wait_until 15 ended_or has_recorded free "set_channel ${row%%:*} 0"
    stop_program
done
check "tuned: the frequency numbers" "set_channel 63 0 set_channel 102 0 set_channel 3 0 set_channel 62 0" \
    "$(grep set_channel "$logs/free.record" | tr '\n' ' ' | sed 's/ $//')"
run_program refused --headless --device /dev/px4video3 --channel 62
check "UHF 62: the lines and exit code" "1:/dev/px4video3: 767000 kHz: px4_drv has no frequency number for it (it tunes UHF 13 to 52)
request_tuning: put_TuneRequest" "$(result refused)"
check "UHF 62: nothing tuned" "4" "$(grep -c set_channel "$logs/free.record")"

kill "$holder" "$holder_pt3"
for name in "${!doubles[@]}"; do stop_double "$name"; done

# ---- One receiver alone: vidtv's device unbound, a node with a C/N script. The C/N of a raw
# value as the kernel's tc90522 works it out, in 0.001 dB: 0.024 P^4 - 1.6 P^3 + 39.8 P^2 +
# 549.1 P + 3096.5, P = 10 log10(5505024 / raw), shown as the level to 0.1 dB:
#   550502:  P = 10.000, 240 - 1600 + 3980 + 5491 + 3096.5 = 11207.5      -> 11.2
#   55050:   P = 20.000, 3840 - 12800 + 15920 + 10982 + 3096.5 = 21038.5  -> 21.0
#   1740842: P = 5.000,  15 - 200 + 995 + 2745.5 + 3096.5 = 6652          ->  6.7
#   17408:   P = 25.000, 9375 - 25000 + 24875 + 13727.5 + 3096.5 = 26074  -> 26.1
#   174084:  P = 15.000, 1215 - 5400 + 8955 + 8236.5 + 3096.5 = 16103     -> 16.1
# (P is within 0.0001 of the round figure each time, which moves no C/N by 0.001 dB.)
echo vidtv.0 >/sys/bus/platform/drivers/vidtv/unbind
printf '%s\n' 550502 55050 1740842 17408 >"$logs/levels.cnr"
echo 174084 >"$logs/later.cnr"
start_double px4video2 found levels

# Found by itself: a plain headless run takes the node and tunes UHF 13, frequency number 63.
# Its levels are the C/N worked out above, in the script's order (so one reading a sample); the
# node offers no error figures, so the ratio reads as failed.
start_program found
wait_until 30 ended_or has_lines 4
check "found by itself: opened and tuned to UHF 13" "open set_channel 63 0" \
    "$(head -2 "$logs/found.record" | tr '\n' ' ' | sed 's/ $//')"
check "C/N: the levels worked out by hand" \
    "$(printf '%s\n' " 11.2 | -2.00E+00" " 21.0 | -2.00E+00" "  6.7 | -2.00E+00" " 26.1 | -2.00E+00")" \
    "$(head -4 "$logs/found.out")"

# The double killed while the program samples, then started again: one line when it goes, then
# the failed samples' lines on standard error and none on standard output, the program running;
# one line when it is back, tuned again, and the lines resume with the new node's C/N.
kill -KILL "${doubles[px4video2]}"
wait "${doubles[px4video2]}" 2>/dev/null
wait_until 15 ended_or has_failed 1
gone_at=$(lines)
wait_until 15 ended_or has_failed 3
gone_line="/dev/px4video2: the device has gone: looking for it again"
check "killed: one line saying so, then the failed samples'" \
    "$(printf '%s\n' "$gone_line" "get_level: IKsPropertySet.Set hr=8007048F" "get_level: IKsPropertySet.Set hr=8007048F")" \
    "$(head -3 "$logs/found.err")"
check "killed: no lines while it is gone" "$gone_at" "$(lines)"
check "killed: still running" "yes" "$(ended && echo no || echo yes)"
start_double px4video2 again later
wait_until 15 ended_or has_lines $((gone_at + 2))
check "started again: the lines resume with its C/N" "$(printf ' 16.1 | -2.00E+00\n%.0s' 1 2)" \
    "$(sed -n "$((gone_at + 1)),$((gone_at + 2))p" "$logs/found.out")"
check "started again: one line saying so" \
    "/dev/px4video2: found again: tuned to frequency number 63 (473142857 Hz, ISDB-T)" \
    "$(grep -v -x -e "$gone_line" -e 'get_level: .*' "$logs/found.err")"
check "started again: opened and tuned anew" "open set_channel 63 0" \
    "$(head -2 "$logs/again.record" | tr '\n' ' ' | sed 's/ $//')"

# SIGTERM: exit code 0, the node released.
stop_program
check "SIGTERM: exit code" "0" "$ended_with"
wait_until 10 has_recorded again release
check "SIGTERM: the node released" "release" "$(tail -1 "$logs/again.record")"
stop_double px4video2

# ---- Alignment mode on the node, in the window on an X server of its own: with --interval 60 it
# still samples four times a second; the window's close ends it with 0 and releases the node.
mkdir -m 700 /tmp/runtime-chardev
Xvfb :2 -screen 0 1024x768x24 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
wait_until 30 test -S /tmp/.X11-unix/X2 || { echo "FAIL no X server"; exit 1; }
start_double px4video2 align later
run=align
DISPLAY=:2 XDG_RUNTIME_DIR=/tmp/runtime-chardev QT_QPA_PLATFORM=xcb \
    "$quorvex" --align --interval 60 --device /dev/px4video2 >"$logs/align.out" 2>"$logs/align.err" &
program=$!
wait_until 60 ended_or has_lines 1
first=$(lines)
check "align: twelve samples within 5 s despite --interval 60" "yes" \
    "$(wait_until 5 ended_or has_lines $((first + 12)) && ! ended && echo yes || echo "no, $(($(lines) - first))")"
ended || DISPLAY=:2 "$work/window_driver" close
wait_until 30 ended || kill "$program"
wait "$program"
check "align: closed with exit code" "0" "$?"
wait_until 10 has_recorded align release
check "align: the node released" "release" "$(tail -1 "$logs/align.record")"

stop_double px4video2
echo vidtv.0 >/sys/bus/platform/drivers/vidtv/bind
[ "$failures" -eq 0 ]
