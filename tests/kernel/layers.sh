#!/usr/bin/env bash
# The real Linux program on vidtv speaking ISDB-T (tests/kernel/vidtv-isdbt.patch), inside the
# virtual machine (tests/kernel/init): layer A on one segment, robust, layer B on twelve, needing
# far more C/N. The channel's C/N is lowered step by step through the demodulator's parameter; at
# each step the kernel's own reader, dvb-fe-tool, must show the layers' figures as the patch makes
# them, and the program's lines, log rows and metrics are kept for program_checks. The exit status
# is 0 when every check held. Every wait is bounded.
#
#   tests/kernel/layers.sh TOP OUT    TOP the repository, OUT where the outputs go (OUT/layers)
set -uo pipefail
top=$1
out=$2
work=$top/build/kernel
logs=$(mktemp -d)
trap 'mkdir -p "$out/layers" && cp "$logs"/* "$out/layers/" 2>/dev/null' EXIT

source "$(dirname "$0")/../support/checks.sh"
lines() { wc -l <"$logs/program.out"; }
has_lines() { [ "$(lines)" -ge "$1" ]; }
ended() { ! kill -0 "$program" 2>/dev/null; }
rows() { wc -l <"$logs/program.csv"; }
# What the kernel holds for the frontend, read back by its own tool: "FREQUENCY = 473142857" and so on.
held() { dvb-fe-tool -g 2>/dev/null | grep -E "^($1) = "; }
# The last sample of dvb-fe-tool --femon: the channel's line, then one per layer; without colours,
# and without the reader's own quality verdict or the uncorrected blocks, which only ever grow.
last_sample() { # femon output
    sed 's/\x1b\[[0-9;]*m//g; s/Quality= [^ ]* //; s/UCB= [^ ]* //; s/^[[:space:]]*//; s/  */ /g' "$1" |
        awk '!/^Layer/ { sample = "" } { sample = sample $0 "\n" } END { printf "%s", sample }'
}

# vidtv afresh, whatever the jobs before left: offering ISDB-T beside its other systems, and
# broadcasting it on terrestrial channel 13 (473 MHz and ISDB-T's 1/7 MHz).
for module in bridge tuner demod; do
    [ ! -d "/sys/module/dvb_vidtv_$module" ] || busybox rmmod "dvb_vidtv_$module" || exit 1
done
busybox insmod "$work/vidtv/dvb-vidtv-tuner.ko" &&
    busybox insmod "$work/vidtv/dvb-vidtv-demod.ko" isdbt=1 &&
    busybox insmod "$work/vidtv/dvb-vidtv-bridge.ko" vidtv_valid_dvb_t_freqs=473142857 || exit 1
cnr=/sys/module/dvb_vidtv_demod/parameters/isdbt_cnr_mdb

# The program, headless, one sample a second, with a log and metrics: it prefers ISDB-T, and tunes
# its default channel with the offset. The kernel then reports the patch's layer set: A QPSK 2/3 on
# the partial reception segment, B 64QAM 3/4 on the other twelve, C unused.
"$top/build/ci/quorvex" --headless --interval 1 --log "$logs/program.csv" --metrics 19110 \
    >"$logs/program.out" 2>"$logs/program.err" &
program=$!
wait_until 30 has_lines 2
require "ISDB-T: the kernel holds channel 13" "$(printf '%s\n' "FREQUENCY = 473142857" "DELIVERY_SYSTEM = ISDBT")" \
    "$(held 'FREQUENCY|DELIVERY_SYSTEM')"
check "ISDB-T: the layer set" "$(printf '%s\n' "GUARD_INTERVAL = 1/8" "TRANSMISSION_MODE = 8K" \
    "ISDBT_PARTIAL_RECEPTION = 1" \
    "ISDBT_LAYERA_FEC = 2/3" "ISDBT_LAYERA_MODULATION = QPSK" \
    "ISDBT_LAYERA_SEGMENT_COUNT = 1" "ISDBT_LAYERA_TIME_INTERLEAVING = 4" \
    "ISDBT_LAYERB_FEC = 3/4" "ISDBT_LAYERB_MODULATION = QAM/64" \
    "ISDBT_LAYERB_SEGMENT_COUNT = 12" "ISDBT_LAYERB_TIME_INTERLEAVING = 2" \
    "ISDBT_LAYERC_FEC = AUTO" "ISDBT_LAYERC_MODULATION = QAM/AUTO" \
    "ISDBT_LAYERC_SEGMENT_COUNT = 0" "ISDBT_LAYERC_TIME_INTERLEAVING = 0")" \
    "$(held 'GUARD_INTERVAL|TRANSMISSION_MODE|ISDBT_PARTIAL_RECEPTION|ISDBT_LAYER[ABC]_.*')"

# The program's side at a step: its rows and metrics there, $logs/rows-STEP.csv and
# $logs/metrics-STEP.txt: layer A good at every step; layer B good at 28 dB, marginal at 21 dB
# (0.8 dB above the 20.1 dB 64QAM 3/4 needs), failing at 19 and 15 dB, in the log's rows and the
# metrics' layer="b" series.
# Worked out by hand: A needs 6.6 dB and reads 0.2 dB above the channel, B needs 20.1 dB and reads
# 0.1 dB below it; a margin of 3 dB or more is good, 0 to 3 marginal, below 0 failing.
declare -A layers_row=(
    [28000]="QPSK,2/3,1,28.2,21.6,good,64QAM,3/4,12,27.9,7.8,good"
    [21000]="QPSK,2/3,1,21.2,14.6,good,64QAM,3/4,12,20.9,0.8,marginal"
    [19000]="QPSK,2/3,1,19.2,12.6,good,64QAM,3/4,12,18.9,-1.2,failing"
    [15000]="QPSK,2/3,1,15.2,8.6,good,64QAM,3/4,12,14.9,-5.2,failing"
)
declare -A margin_b=([28000]=7.8 [21000]=0.8 [19000]=-1.2 [15000]=-5.2)
program_checks() { # step
    check "C/N $1: the log's layers, B's margin going while A's holds" "${layers_row[$1]}" \
        "$(tail -n 1 "$logs/rows-$1.csv" | cut -d, -f8-19)"
    check "C/N $1: layer B's margin on the page" "${margin_b[$1]}" \
        "$(sed -n 's/^quorvex_frontend_layer_margin_decibels{layer="b"} //p' "$logs/metrics-$1.txt")"
    check "C/N $1: layer B described on the page" 'modulation="64QAM",code_rate="3/4",segments="12"' \
        "$(grep -o 'quorvex_frontend_layer_info{layer="b",[^}]*' "$logs/metrics-$1.txt" | cut -d, -f2-)"
}

# The steps, the channel's C/N in 0.001 dB, each with the last sample dvb-fe-tool reads a whole
# program sample later: per layer its C/N (A's estimate 0.2 dB above the channel's, B's 0.1 dB
# below), bit error ratio after Viterbi and packet error ratio; the channel's, the layers' summed
# counts. By hand from the patch's rule: a reading counts 10^6 bits and 1000 packets a segment;
# below 2 dB of margin a layer has 1e-4 bit errors more per dB, and below none it loses a tenth of
# its packets per dB missing. A needs 6.6 dB; B needs 20.1 dB, so it has 0.8 dB at 21 dB (1.2e-4),
# lacks 1.2 dB at 19 dB (3.2e-4, 12 %) and 5.2 dB at 15 dB (7.2e-4, 52 %); the channel's are B's
# times 12/13.
steps=(28000 21000 19000 15000)
declare -A seen=(
    [28000]="Lock (0x1f) Signal= -34.00dBm C/N= 28.00dB postBER= 0 PER= 0
Layer A: C/N= 28.20dB postBER= 0 PER= 0
Layer B: C/N= 27.90dB postBER= 0 PER= 0"
    [21000]="Lock (0x1f) Signal= -34.00dBm C/N= 21.00dB postBER= 111x10^-6 PER= 0
Layer A: C/N= 21.20dB postBER= 0 PER= 0
Layer B: C/N= 20.90dB postBER= 120x10^-6 PER= 0"
    [19000]="Lock (0x1f) Signal= -34.00dBm C/N= 19.00dB postBER= 295x10^-6 PER= 111x10^-3
Layer A: C/N= 19.20dB postBER= 0 PER= 0
Layer B: C/N= 18.90dB postBER= 320x10^-6 PER= 120x10^-3"
    [15000]="Lock (0x1f) Signal= -34.00dBm C/N= 15.00dB postBER= 665x10^-6 PER= 480x10^-3
Layer A: C/N= 15.20dB postBER= 0 PER= 0
Layer B: C/N= 14.90dB postBER= 720x10^-6 PER= 520x10^-3"
)
for step in "${steps[@]}"; do
    first_row=$(($(rows) + 1))
    echo "$step" >"$cnr"
    wait_until 15 has_lines $(($(lines) + 2))
    dvb-fe-tool --femon -c 2 >"$logs/femon-$step.log" 2>&1
    check "C/N $step: what the kernel's reader shows" "${seen[$step]}" "$(last_sample "$logs/femon-$step.log")"
    curl -s --max-time 5 http://127.0.0.1:19110/metrics >"$logs/metrics-$step.txt"
    tail -n +"$first_row" "$logs/program.csv" >"$logs/rows-$step.csv"
    program_checks "$step"
done

kill -TERM "$program"
wait_until 30 ended || kill -KILL "$program"
[ "$failures" -eq 0 ]
