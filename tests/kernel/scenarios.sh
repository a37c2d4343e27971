#!/usr/bin/env bash
# The real Linux program on the kernel's own virtual DVB driver, vidtv, run inside the virtual machine
# (tests/kernel/init) on the host's read-only root. The program runs on an X server with no window
# manager and is used through its window (tests/kernel/window_driver); the kernel's own reader,
# dvb-fe-tool, opens the frontend read-only beside it. Each scenario says what it provokes and what
# it expects; the exit status is 0 when every check held. Every wait is bounded.
#
#   tests/kernel/scenarios.sh TOP OUT    TOP the repository, OUT where the logs and screenshot go
set -uo pipefail
top=$1
out=$2
work=$top/build/kernel
driver=$work/window_driver
logs=$(mktemp -d)
trap 'cp "$logs"/* "$out/" 2>/dev/null' EXIT

source "$(dirname "$0")/../support/checks.sh"
# The program's standard output, for the run the scenarios look at.
output=$logs/program.out
lines() { wc -l <"$output"; }
has_lines() { [ "$(lines)" -ge "$1" ]; }
ended() { ! kill -0 "$program" 2>/dev/null; }
# What the kernel holds for the frontend, read back by its own tool: "FREQUENCY = 473000000" and so on.
tuned() { dvb-fe-tool -g 2>/dev/null | sed -n "s/^$1 = //p"; }
tuned_to() { [ "$(tuned FREQUENCY)" = "$1" ]; }
# The C/N in dB of each reading of three readers, each taking one reading a second for SECONDS;
# their output is kept as NAME-femon-N.log.
read_cnr() { # name, seconds
    local readers=()
    for reader in 1 2 3; do
        dvb-fe-tool --femon -c "$2" >"$logs/$1-femon-$reader.log" 2>&1 &
        readers+=($!)
    done
    wait "${readers[@]}"
    cat "$logs/$1"-femon-?.log | grep -o 'C/N= *[-0-9.]*dB' | sed 's/C\/N= *//; s/dB//'
}
levels() { sed -n "$1,$2p" "$output" | cut -c1-5; }
# "" when every level lies within the reader's range, widened by 0.1 dB for the line's rounding;
# otherwise the levels outside it.
outside_range() { # levels file, readings file
    awk 'NR == FNR { if (FNR == 1 || $1 < low) low = $1; if (FNR == 1 || $1 > high) high = $1; next }
         $1 < low - 0.1 || $1 > high + 0.1 { printf "%s ", $1 }' "$2" "$1"
}
mean() { awk '{ sum += $1 } END { if (NR) printf "%.2f", sum / NR }' "$1"; }
within() { awk -v a="$1" -v b="$2" -v limit="$3" 'BEGIN { d = a - b; print (d <= limit && -d <= limit) ? "yes" : "no" }'; }
# Bar pixels (colour 0x00FF32) in the chart's columns of history entries FIRST to LAST of a screenshot.
bar_pixels() { # screenshot, first, last
    local left=$((22 + 10 * $2)) width=$((10 * ($3 - $2) + 7))
    convert "$1" -crop "${width}x100+${left}+20" +repage -fill black +opaque '#32FF00' \
        -fill white -opaque '#32FF00' -format '%[fx:int(mean*w*h)]' info:
}

# vidtv broadcasts DVB-T on two frequencies, within a 200 Hz tolerance: terrestrial channel 13
# exactly (473 MHz, the program's default channel), and 100 Hz above terrestrial channel 14
# (479 MHz), which a receiver tuned to channel 14 therefore gets half the tolerance off, its C/N
# falling from 34 dB to 22 dB. vidtv's C/N jitters downward by up to 2 % from reading to reading,
# and its bit and block counters never count. Nothing is broadcast anywhere else.
for module in tuner demod bridge; do
    busybox insmod "$work/vidtv/dvb-vidtv-$module.ko" vidtv_valid_dvb_t_freqs=473000000,479000100 \
        max_frequency_shift_hz=200 || exit 1
done
require "vidtv: a frontend offering DVB-T" "DVBT" "$(dvb-fe-tool 2>&1 | grep -o -m1 -w 'DVBT')"

mkdir -m 700 /tmp/runtime
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
export DISPLAY=:1 XDG_RUNTIME_DIR=/tmp/runtime
wait_until 30 test -S /tmp/.X11-unix/X1 || { echo "FAIL no X server"; exit 1; }
QT_QPA_PLATFORM=xcb "$top/build/ci/quorvex" >"$logs/program.out" 2>"$logs/program.err" &
program=$!
window=$("$driver" window | cut -d' ' -f1)
require "the program's window" "yes" "$([ -n "$window" ] && echo yes || echo no)"

# Over the next 20 s, the program's levels against the C/N the readers see: each level within their
# range, widened by 0.1 dB for rounding, and the two means within 0.2 dB. Keeps both in $logs/NAME.*.
agrees_with_reader() { # name, what the checks call it
    local first=$(($(lines) + 1))
    read_cnr "$1" 20 >"$logs/$1.cnr"
    levels "$first" "$(lines)" >"$logs/$1.levels"
    echo "     program: $(wc -l <"$logs/$1.levels") levels, mean $(mean "$logs/$1.levels");" \
        "reader: $(wc -l <"$logs/$1.cnr") readings from $(sort -n "$logs/$1.cnr" | head -1)" \
        "to $(sort -n "$logs/$1.cnr" | tail -1), mean $(mean "$logs/$1.cnr")"
    require "$2: samples while the reader read" "yes" "$([ "$(wc -l <"$logs/$1.levels")" -ge 15 ] &&
        [ "$(wc -l <"$logs/$1.cnr")" -ge 45 ] && echo yes || echo no)"
    check "$2: levels within the reader's range" "" "$(outside_range "$logs/$1.levels" "$logs/$1.cnr")"
    check "$2: means agree within 0.2 dB" "yes" "$(within "$(mean "$logs/$1.levels")" "$(mean "$logs/$1.cnr")" 0.2)"
}

# The default channel: the program tunes 473 MHz, which vidtv accepts, and locks; each printed
# level lies within the C/N range that the independent reader sees over the same seconds, and the
# two means agree within 0.2 dB.
wait_until 30 has_lines 2
check "default channel: frequency tuned (Hz)" "473000000" "$(tuned FREQUENCY)"
check "default channel: delivery system" "DVBT" "$(tuned DELIVERY_SYSTEM)"
check "default channel: bandwidth (Hz)" "6000000" "$(tuned BANDWIDTH_HZ)"
agrees_with_reader strong "default channel"

# vidtv's counters never count: no ratio can be given, so every line shows the dashed form.
check "counters that never count: dashed ratio on every line" "" \
    "$(sed -n "1,$(lines)p" "$logs/program.out" | grep -v -x ' [ 0-9][0-9]\.[0-9] | --------- ')"

# A weak signal, and Apply through the window: terrestrial channel 14 typed and Apply clicked
# retune the frontend to exactly 479 MHz, received 100 Hz off: lower levels, as vidtv's C/N says,
# every one below the default channel's. The window then shows both channels' bars.
"$driver" apply 14
wait_until 10 tuned_to 479000000
check "Apply channel 14: frequency tuned (Hz)" "479000000" "$(tuned FREQUENCY)"
wait_until 10 has_lines $(($(lines) + 1))
agrees_with_reader weak "weak signal"
check "weak signal: every level below the default channel's" "yes" \
    "$(awk 'NR == FNR { if (FNR == 1 || $1 < low) low = $1; next } $1 >= low { below = "no" }
            END { print below ? below : "yes" }' "$logs/strong.levels" "$logs/weak.levels")"
check "counters that never count: dashed ratio on every line" "" \
    "$(sed -n "1,$(lines)p" "$logs/program.out" | grep -v -x ' [ 0-9][0-9]\.[0-9] | --------- ')"
import -window "$window" "$logs/screenshot-kernel.png"
check "bars of both channels" "yes" "$([ "$(bar_pixels "$logs/screenshot-kernel.png" 0 29)" -gt 0 ] && echo yes || echo no)"

# Nothing broadcast, and Apply with the band: cable channel 27 typed, the CATV box ticked and Apply
# clicked retune the frontend to exactly 249 MHz, where nothing is broadcast: no lock, so no level
# (the " -- |" form), no counters offered (the error reads fail), and no bars for those samples.
"$driver" apply 27 catv
wait_until 10 tuned_to 249000000
check "Apply cable 27: frequency tuned (Hz)" "249000000" "$(tuned FREQUENCY)"
wait_until 10 has_lines $(($(lines) + 1))
first=$(($(lines) + 1))
wait_until 15 has_lines $((first + 4))
check "nothing broadcast: the reader sees no lock" "" "$(dvb-fe-tool --femon -c 2 2>&1 | grep -E 'Lock|C/N')"
check "nothing broadcast: five lines without a level" "$(printf ' -- | -2.00E+00\n%.0s' 1 2 3 4 5)" \
    "$(sed -n "$first,$((first + 4))p" "$logs/program.out")"
import -window "$window" "$logs/screenshot-nothing.png"
check "nothing broadcast: no bars for the last five samples" "0" "$(bar_pixels "$logs/screenshot-nothing.png" 25 29)"
check "nothing broadcast: the weak channel's bars before them" "yes" \
    "$([ "$(bar_pixels "$logs/screenshot-nothing.png" 10 20)" -gt 0 ] && echo yes || echo no)"
check "standard error until now" "" "$(cat "$logs/program.err")"

# The tuner taken away as a hot-unplug does it: the device unbound from vidtv's driver, its
# nodes gone. No line for those samples, one diagnostic line each, the program keeps running and
# closes with exit code 0 when told to.
echo vidtv.0 >/sys/bus/platform/drivers/vidtv/unbind
unplugged_at=$(lines)
check "unplugged: device node gone" "no" "$([ -e /dev/dvb/adapter0/frontend0 ] && echo yes || echo no)"
wait_until 15 eval '[ "$(wc -l <"$logs/program.err")" -ge 3 ]'
check "unplugged: failed samples on standard error" "get_level: IKsPropertySet.Set hr=8007048F" \
    "$(sort -u "$logs/program.err")"
check "unplugged: no lines for those samples" "$unplugged_at" "$(lines)"
check "unplugged: still running" "yes" "$(ended && echo no || echo yes)"
"$driver" close
wait_until 30 ended || kill "$program"
wait "$program"
check "closed: exit code" "0" "$?"

# Alignment mode, with the tuner back: the program started with --align samples four times a second
# whatever the interval, each level agreeing with the readers as above; the best level is held as a
# band on the chart (orange, its lower row on the top of that level's bar) through a detune to
# channel 14, and after R starts again from the detuned levels.
peak_rows() { # screenshot: the rows of the band, at x = 100 inside the chart
    convert "$1" -crop 1x101+100+20 +repage txt:- | awk -F'[,:]' '/#FF6000/ { printf "%d ", $2 + 20 }'
}
# A screenshot NAME, with the lines printed before ($shot_before) and after it ($shot_after).
shot() {
    shot_before=$(lines)
    import -window "$window" "$logs/$1.png"
    shot_after=$(lines)
}
# "yes" when the screenshot's band is two rows whose lower one is the top of the bar of the best
# level since a first line from EARLIEST to LATEST (the key that reset it took effect between
# them), up to the screenshot. The bar truncates the unrounded level: a printed x.0 may be x - 1.
band_of_best() { # name, earliest, latest
    local rows best_low best_high
    rows=$(peak_rows "$logs/$1.png")
    best_low=$(levels "$3" "$shot_before" | sort -n | tail -1)
    best_high=$(levels "$2" "$shot_after" | sort -n | tail -1)
    awk -v rows="$rows" -v low="$best_low" -v high="$best_high" 'BEGIN {
        n = split(rows, r, " "); level = 120 - r[2]
        print (n == 2 && r[2] == r[1] + 1 && level >= int(low - 0.05) && level <= int(high + 0.05)) ? "yes" : "no (rows " rows ")"
    }'
}
echo vidtv.0 >/sys/bus/platform/drivers/vidtv/bind
wait_until 10 test -e /dev/dvb/adapter0/frontend0
output=$logs/align.out
QT_QPA_PLATFORM=xcb "$top/build/ci/quorvex" --align --interval 60 >"$output" 2>"$logs/align.err" &
program=$!
window=$("$driver" window | cut -d' ' -f1)
wait_until 30 has_lines 1
started_at=$(date +%s%N) first=$(lines)
wait_until 30 has_lines $((first + 40))
per_second=$(awk -v n=40 -v ns=$(($(date +%s%N) - started_at)) 'BEGIN { printf "%.1f", n / (ns / 1e9) }')
check "align: four samples a second despite --interval 60 ($per_second)" "yes" \
    "$(awk -v r="$per_second" 'BEGIN { print (r >= 3.6 && r <= 4.4) ? "yes" : "no" }')"
agrees_with_reader align-strong "align, default channel"
shot screenshot-align
check "align: the best level's band" "yes" "$(band_of_best screenshot-align 1 1)"
"$driver" apply 14
wait_until 10 tuned_to 479000000
wait_until 10 has_lines $(($(lines) + 8))
agrees_with_reader align-weak "align, detuned to channel 14"
shot screenshot-align-detuned
check "align, detuned: the band holds the best level" "yes" "$(band_of_best screenshot-align-detuned 1 1)"
pressed_at=$(lines)
"$driver" key r
wait_until 10 has_lines $((pressed_at + 12))
shot screenshot-align-reset
check "align, after R: the band at the detuned best" "yes" \
    "$(band_of_best screenshot-align-reset $((pressed_at + 1)) $((pressed_at + 4)))"
check "align: standard error (no sound device in the machine)" \
    "quorvex: no sound: no sound server; the alignment mode runs silent" "$(cat "$logs/align.err")"
"$driver" close
wait_until 30 ended || kill "$program"
wait "$program"
check "align: closed with exit code" "0" "$?"

[ "$failures" -eq 0 ]
