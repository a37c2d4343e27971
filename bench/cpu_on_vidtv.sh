#!/usr/bin/env bash
# What a user's machine pays for the monitor, beside the kernel's own reader: run in the virtual
# machine by bench/run through script/test-kernel. vidtv broadcasts on the default channel; the
# optimised build of Quorvex samples once a second with its window on Xvfb, and dvb-fe-tool --femon
# reads once a second, over the same 30 s on the same frontend. The CPU time of each (user and
# system, from the kernel's accounting in nanoseconds) goes to OUT/cpu.txt.
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
on_cpu_ns() { awk '{ print $1 }' "/proc/$1/schedstat"; }
before=$(on_cpu_ns "$program")
# The reader as a child of Python, whose accounting of its children is exact.
reader_s=$(OUT=$out /usr/bin/python3 -c '
import os, resource, subprocess
log = open(os.environ["OUT"] + "/cpu-femon.log", "w")
subprocess.run(["dvb-fe-tool", "--femon", "-c", "30"], stdout=log, stderr=subprocess.STDOUT)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(usage.ru_utime + usage.ru_stime)')
program_ns=$(($(on_cpu_ns "$program") - before))
kill "$program"
lines=$(grep -c . "$out/cpu-quorvex.out")
awk -v q="$program_ns" -v r="$reader_s" -v lines="$lines" 'BEGIN {
    printf "quorvex (1 sample a second, window on Xvfb): %.0f ms\n", q / 1e6
    printf "dvb-fe-tool --femon (1 reading a second): %.0f ms\n", r * 1000
    printf "ratio: %.1f\n", (q / 1e9) / r
}' | tee "$out/cpu.txt"
[ "$lines" -ge 30 ]
