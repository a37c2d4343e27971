#!/usr/bin/env bash
# What a user's machine pays for the monitor, beside the kernel's own reader: run in the virtual
# machine by bench/run through script/test-kernel. vidtv broadcasts on the default channel; the
# optimised build of Quorvex samples once a second with its window on Xvfb, and dvb-fe-tool --femon
# reads once a second, over the same 30 s on the same frontend, both past their start. The CPU time
# of each (user and system, the scheduler's nanoseconds on a CPU) goes to OUT/cpu.txt.
#
#   bench/cpu_on_vidtv.sh TOP OUT
set -uo pipefail
top=$1
out=$2
for module in tuner demod bridge; do
    busybox insmod "$top/build/kernel/vidtv/dvb-vidtv-$module.ko" vidtv_valid_dvb_t_freqs=473000000 || exit 1
done
mkdir -m 700 /tmp/runtime
Xvfb :1 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:1 XDG_RUNTIME_DIR=/tmp/runtime
for _ in $(seq 300); do [ -S /tmp/.X11-unix/X1 ] && break; sleep 0.1; done

QT_QPA_PLATFORM=xcb "$top/build/release/quorvex" >"$out/cpu-quorvex.out" 2>&1 &
program=$!
for _ in $(seq 300); do [ -s "$out/cpu-quorvex.out" ] && break; sleep 0.1; done
dvb-fe-tool --femon -c 40 >"$out/cpu-femon.log" 2>&1 &
reader=$!
# Both running, past their start: the same 30 readings' time from the reader's second line.
readings() { grep -c 'C/N' "$out/cpu-femon.log"; }
until_readings() { for _ in $(seq 600); do [ "$(readings)" -ge "$1" ] && return 0; sleep 0.1; done; return 1; }
on_cpu_ns() { awk '{ print $1 }' "/proc/$1/schedstat"; }
user_system() { awk '{ print $14, $15 }' "/proc/$1/stat"; }
until_readings 2 || exit 1
program_before=$(on_cpu_ns "$program") reader_before=$(on_cpu_ns "$reader") lines_before=$(grep -c . "$out/cpu-quorvex.out")
read -r user_before system_before < <(user_system "$program")
until_readings 32 || exit 1
program_ns=$(($(on_cpu_ns "$program") - program_before)) reader_ns=$(($(on_cpu_ns "$reader") - reader_before))
read -r user system < <(user_system "$program")
echo "quorvex: user $(((user - user_before) * 1000 / $(getconf CLK_TCK))) ms, system $(((system - system_before) * 1000 / $(getconf CLK_TCK))) ms" >"$out/cpu-split.txt"
lines=$(($(grep -c . "$out/cpu-quorvex.out") - lines_before))
kill "$program" "$reader"
awk -v q="$program_ns" -v r="$reader_ns" -v lines="$lines" 'BEGIN {
    printf "quorvex (one sample a second, its window on Xvfb): %.0f ms for %d samples\n", q / 1e6, lines
    printf "dvb-fe-tool --femon (one reading a second): %.0f ms for 30 readings\n", r / 1e6
    printf "ratio: %.1f\n", q / r
}' | tee "$out/cpu.txt"
[ "$lines" -ge 20 ] # it sampled throughout
