#!/usr/bin/env bash
# The real Linux program on the kernel's own virtual DVB driver, vidtv, run inside the virtual machine
# (tests/kernel/init) on the host's read-only root. The program runs on an X server with no window
# manager and is used through its window (tests/kernel/window_driver); the kernel's own reader,
# dvb-fe-tool, opens the frontend read-only beside it; in the second run a recorder, dvbv5-zap,
# holds it. Each scenario says what it provokes and what it expects; the exit status is 0 when
# every check held. Every wait is bounded.
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
# The program of the run at hand and its window; its output, diagnostics and log are
# $logs/RUN.out, .err and .csv.
start_program() { # run, options...
    run=$1
    QT_QPA_PLATFORM=xcb "$top/build/ci/quorvex" --log "$logs/$run.csv" "${@:2}" >"$logs/$run.out" 2>"$logs/$run.err" &
    program=$!
    window=$("$driver" window | cut -d' ' -f1)
    require "$run: the program's window" "yes" "$([ -n "$window" ] && echo yes || echo no)"
}
lines() { wc -l <"$logs/$run.out"; }
has_lines() { [ "$(lines)" -ge "$1" ]; }
next_lines() { # count: waits for the next COUNT lines
    local from
    from=$(lines)
    wait_until 15 has_lines $((from + $1))
}
ended() { ! kill -0 "$program" 2>/dev/null; }
# What the kernel holds for the frontend, read back by its own tool: "FREQUENCY = 473000000" and so on.
tuned() { dvb-fe-tool -g 2>/dev/null | sed -n "s/^$1 = //p"; }
tuned_to() { [ "$(tuned FREQUENCY)" = "$1" ]; }
# A screenshot of the window, $logs/NAME.png, once the repaint that follows a line has reached the screen.
shoot() { # name
    sleep 0.3
    import -window "$window" "$logs/$1.png"
}
# The header line of a screenshot, as a digest: equal for the same pixels only.
header() { convert "$1" -crop 280x14+30+5 +repage rgb:- | md5sum | cut -c1-32; }
# The channel, band and frequency of the log's last row.
logged() { tail -1 "$logs/$run.csv" | cut -d, -f2-4; }
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
levels() { sed -n "$1,$2p" "$logs/$run.out" | cut -c1-5; }
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
# A recorder: dvbv5-zap tunes a channel of the file below and holds the frontend open for writing
# until it is stopped, as a TV server does; its output is $logs/recorder-NAME.log.
recorder() { # channel, name
    dvbv5-zap -c "$logs/channels.conf" -r "$1" >"$logs/recorder-$2.log" 2>&1 &
    recorder=$!
    recording=$2
}
# Locked and recording: it offers the DVR device.
locked() { grep -q "can now be opened" "$logs/recorder-$recording.log"; }
# Stops the recorder as a TV server is stopped; $recorder_ended is "0:" when it ended with 0 and
# reported no error.
stop_recorder() {
    kill -TERM "$recorder"
    wait "$recorder"
    recorder_ended="$?:$(grep ERROR "$logs/recorder-$recording.log")"
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

# The metrics, read inside the machine beside the kernel's own reader: the status flags make the
# reader's status word, the frequency is what the kernel holds, and the C/N lies within what the
# reader saw (kept as NAME.cnr), widened by 0.1 dB.
metric() { curl -s --max-time 5 http://127.0.0.1:19110/metrics | awk -v name="$1" '$1 == name { print $2 }'; }
status_word() {
    local word=0 bit=1
    for flag in signal carrier viterbi sync lock; do
        [ "$(metric "quorvex_frontend_status{flag=\"$flag\"}")" = 1 ] && word=$((word | bit))
        bit=$((bit * 2))
    done
    printf '0x%02x' "$word"
}
metrics_agree() { # name, what the checks call it
    curl -s --max-time 5 http://127.0.0.1:19110/metrics >"$logs/$1.metrics"
    check "$2: metrics' status flags as the reader's status word" \
        "$(dvb-fe-tool --femon -c 1 2>&1 | grep -o -m1 '(0x[0-9a-f]*)' | tr -d '()')" "$(status_word)"
    check "$2: metrics' frequency as the kernel holds it" "$(tuned FREQUENCY)" "$(metric quorvex_tuned_frequency_hertz)"
    check "$2: metrics' C/N within the reader's range" "" \
        "$(metric quorvex_frontend_carrier_to_noise_decibels | outside_range /dev/stdin "$logs/$1.cnr")"
}

# ---- The first run: the program owns the tuner.
start_program program --metrics 19110

# The default channel: the program tunes 473 MHz, which vidtv accepts, and locks; each printed
# level lies within the C/N range that the independent reader sees over the same seconds, and the
# two means agree within 0.2 dB.
wait_until 30 has_lines 2
check "default channel: frequency tuned (Hz)" "473000000" "$(tuned FREQUENCY)"
check "default channel: delivery system" "DVBT" "$(tuned DELIVERY_SYSTEM)"
check "default channel: bandwidth (Hz)" "6000000" "$(tuned BANDWIDTH_HZ)"
agrees_with_reader strong "default channel"
metrics_agree strong "default channel"
shoot screenshot-default

# vidtv's counters never count: no ratio can be given, so every line shows the dashed form.
check "counters that never count: dashed ratio on every line" "" \
    "$(sed -n "1,$(lines)p" "$logs/program.out" | grep -v -x ' [ 0-9][0-9]\.[0-9] | --------- ')"

# A weak signal, and Apply through the window: terrestrial channel 14 typed and Apply clicked
# retune the frontend to exactly 479 MHz, received 100 Hz off: lower levels, as vidtv's C/N says,
# every one below the default channel's. The window then shows both channels' bars.
"$driver" apply 14
wait_until 10 tuned_to 479000000
check "Apply channel 14: frequency tuned (Hz)" "479000000" "$(tuned FREQUENCY)"
next_lines 1
agrees_with_reader weak "weak signal"
check "weak signal: every level below the default channel's" "yes" \
    "$(awk 'NR == FNR { if (FNR == 1 || $1 < low) low = $1; next } $1 >= low { below = "no" }
            END { print below ? below : "yes" }' "$logs/strong.levels" "$logs/weak.levels")"
check "counters that never count: dashed ratio on every line" "" \
    "$(sed -n "1,$(lines)p" "$logs/program.out" | grep -v -x ' [ 0-9][0-9]\.[0-9] | --------- ')"
shoot screenshot-kernel
check "bars of both channels" "yes" "$([ "$(bar_pixels "$logs/screenshot-kernel.png" 0 29)" -gt 0 ] && echo yes || echo no)"

# Nothing broadcast, and Apply with the band: cable channel 27 typed, the CATV box ticked and Apply
# clicked retune the frontend to exactly 249 MHz, where nothing is broadcast: no lock, so no level
# (the " -- |" form), no counters offered (the error reads fail), and no bars for those samples.
"$driver" apply 27 catv
wait_until 10 tuned_to 249000000
check "Apply cable 27: frequency tuned (Hz)" "249000000" "$(tuned FREQUENCY)"
next_lines 1
first=$(($(lines) + 1))
wait_until 15 has_lines $((first + 4))
check "nothing broadcast: the reader sees no lock" "" "$(dvb-fe-tool --femon -c 2 2>&1 | grep -E 'Lock|C/N')"
check "nothing broadcast: no lock in the metrics" 0 "$(metric 'quorvex_frontend_status{flag="lock"}')"
check "nothing broadcast: five lines without a level" "$(printf ' -- | -2.00E+00\n%.0s' 1 2 3 4 5)" \
    "$(sed -n "$first,$((first + 4))p" "$logs/program.out")"
shoot screenshot-nothing
check "nothing broadcast: no bars for the last five samples" "0" "$(bar_pixels "$logs/screenshot-nothing.png" 25 29)"
check "nothing broadcast: the weak channel's bars before them" "yes" \
    "$([ "$(bar_pixels "$logs/screenshot-nothing.png" 10 20)" -gt 0 ] && echo yes || echo no)"
check "standard error until now" "" "$(cat "$logs/program.err")"

# The tuner pulled out and plugged back in, as a hot-unplug does it: the device unbound from
# vidtv's driver, its nodes gone, then bound again. While it is gone, no line for the samples and
# a diagnostic line each; one line when it goes and one when it is back, tuned again to the last
# frequency; the program keeps running throughout.
echo vidtv.0 >/sys/bus/platform/drivers/vidtv/unbind
unplugged_at=$(lines)
check "unplugged: device node gone" "no" "$([ -e /dev/dvb/adapter0/frontend0 ] && echo yes || echo no)"
wait_until 15 eval '[ "$(wc -l <"$logs/program.err")" -ge 4 ]'
check "unplugged: one line saying so" "/dev/dvb/adapter0/frontend0: the device has gone: looking for it again" \
    "$(head -1 "$logs/program.err")"
check "unplugged: failed samples on standard error" "get_level: IKsPropertySet.Set hr=8007048F" \
    "$(tail -n +2 "$logs/program.err" | sort -u)"
check "unplugged: no lines for those samples" "$unplugged_at" "$(lines)"
check "unplugged: still running" "yes" "$(ended && echo no || echo yes)"
echo vidtv.0 >/sys/bus/platform/drivers/vidtv/bind
wait_until 15 has_lines $((unplugged_at + 2))
check "plugged back: lines again" "$(printf ' -- | -2.00E+00\n%.0s' 1 2)" "$(sed -n "$((unplugged_at + 1)),$((unplugged_at + 2))p" "$logs/program.out")"
check "plugged back: the kernel holds the last frequency (Hz)" "249000000" "$(tuned FREQUENCY)"
check "plugged back: one line saying so" \
    "/dev/dvb/adapter0/frontend0: found again: tuned to 249000000 Hz (DVB-T, 6 MHz)" \
    "$(grep -v get_level "$logs/program.err" | tail -n +2)"

# Stopped by a signal: SIGTERM ends it through its close path, with exit code 0, every row of the
# log whole.
kill -TERM "$program"
wait_until 30 ended || kill -KILL "$program"
wait "$program"
check "SIGTERM: exit code" "0" "$?"
check "SIGTERM: the log's rows whole" "" "$(tail -n +2 "$logs/program.csv" | awk -F, 'NF != 25' ; tail -c1 "$logs/program.csv" | tr -d '\n')"

# ---- The second run: beside a recorder that holds the tuner. The recorder's channels, in
# dvbv5's format: terrestrial 13 and 14, and 500 MHz, which is on neither plan.
cat >"$logs/channels.conf" <<'EOF'
[ch13]
	DELIVERY_SYSTEM = DVBT
	FREQUENCY = 473000000
	BANDWIDTH_HZ = 6000000

[ch14]
	DELIVERY_SYSTEM = DVBT
	FREQUENCY = 479000000
	BANDWIDTH_HZ = 6000000

[off-plan]
	DELIVERY_SYSTEM = DVBT
	FREQUENCY = 500000000
	BANDWIDTH_HZ = 6000000
EOF
default_header=$(header "$logs/screenshot-default.png")
channel14_header=$(header "$logs/screenshot-kernel.png")

# The recorder tunes channel 13 and holds the frontend; the program started beside it watches:
# it says so, shows the recorder's channel in its header (the same pixels as its own on that
# channel) and its log, and its levels agree with the reader's. Afterwards the kernel holds
# exactly what the recorder tuned, and the recorder reported no error.
recorder ch13 first
wait_until 20 locked
require "the recorder: locked on channel 13" "473000000" "$(tuned FREQUENCY)"
recorded=$(dvb-fe-tool -g 2>/dev/null)
start_program watch
wait_until 30 has_lines 2
check "beside a recorder: it says it watches" \
    "/dev/dvb/adapter0/frontend0: in use by another program: watching it without tuning" "$(cat "$logs/watch.err")"
shoot screenshot-watch
check "beside a recorder: the header shows the recorder's channel" "$default_header" "$(header "$logs/screenshot-watch.png")"
check "beside a recorder: the log shows it" "13,UHF,473000" "$(logged)"
agrees_with_reader held "beside a recorder"
check "beside a recorder: the kernel holds exactly what the recorder tuned" "$recorded" "$(dvb-fe-tool -g 2>/dev/null)"
stop_recorder
check "beside a recorder: the recorder ended without an error" "0:" "$recorder_ended"

# The recorder retunes: stopped and started on channel 14, then on 500 MHz. Within two samples
# of its tune the header and the log follow; on 500 MHz the header names no channel.
recorder ch14 second
wait_until 20 locked
next_lines 2
shoot screenshot-retuned
check "the recorder retunes: the log follows" "14,UHF,479000" "$(logged)"
check "the recorder retunes: the header follows" "$channel14_header" "$(header "$logs/screenshot-retuned.png")"
stop_recorder
check "the recorder retunes: the recorder ended without an error" "0:" "$recorder_ended"
recorder off-plan third
wait_until 20 tuned_to 500000000
next_lines 2
shoot screenshot-off-plan
check "off both plans: the header names no channel" "yes" \
    "$(h=$(header "$logs/screenshot-off-plan.png") && [ "$h" != "$default_header" ] && [ "$h" != "$channel14_header" ] &&
        echo yes || echo no)"
check "off both plans: no lock there" " -- |" "$(tail -1 "$logs/watch.out" | cut -c1-5)"
check "off both plans: the log shows the frequency" ",,500000" "$(logged)"

# Apply of another channel while the recorder holds the tuner: a box says the program can only
# watch, and nothing is tuned. The recorder then goes: the program goes on watching and never
# takes the tuner by itself; Apply takes it and tunes.
"$driver" apply 20
check "Apply while held: the box" "チューナー使用中" "$("$driver" box)"
check "Apply while held: nothing tuned (Hz)" "500000000" "$(tuned FREQUENCY)"
check "Apply while held: still watching" "yes" "$(ended && echo no || echo yes)"
stop_recorder # it never locked, and says so
next_lines 2
check "the recorder gone: nothing tuned by the program itself (Hz)" "500000000" "$(tuned FREQUENCY)"
"$driver" apply 14
wait_until 10 tuned_to 479000000
check "Apply once the recorder has gone: the kernel holds the program's frequency (Hz)" "479000000" "$(tuned FREQUENCY)"
next_lines 2
check "Apply once the recorder has gone: locked again" "yes" \
    "$(tail -1 "$logs/watch.out" | grep -q -x ' [ 0-9][0-9]\.[0-9] | --------- ' && echo yes || echo no)"
check "beside a recorder: standard error" \
    "$(printf '%s\n' "/dev/dvb/adapter0/frontend0: in use by another program: watching it without tuning" \
        "/dev/dvb/adapter0/frontend0: busy: another program is tuning it" "request_tuning: put_TuneRequest")" \
    "$(cat "$logs/watch.err")"
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
    shoot "$1"
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
[ -e /dev/dvb/adapter0/frontend0 ] || echo vidtv.0 >/sys/bus/platform/drivers/vidtv/bind
wait_until 10 test -e /dev/dvb/adapter0/frontend0
start_program align --align --interval 60
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
"$driver" close
wait_until 30 ended || kill "$program"
wait "$program"
check "align: closed with exit code" "0" "$?"

[ "$failures" -eq 0 ]
