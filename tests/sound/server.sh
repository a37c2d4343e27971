# A PulseAudio server of the test's own, in folders of its own under $work whatever the machine runs,
# with one null sink, "roof", whose monitor the test records. Sourced after checks.sh, with $work
# and the started=() list of processes to stop set; the server's pid joins that list and is
# $sound_server. Started again after it has gone, it answers at the same address.
start_sound_server() {
  mkdir -p -m 700 "$work/runtime" "$work/home"
  export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home PULSE_SERVER=unix:$work/runtime/native
  cat >"$work/server.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$work/runtime/native
load-module module-null-sink sink_name=roof rate=48000 channels=1
set-default-sink roof
PA
  pulseaudio -n -F "$work/server.pa" --daemonize=no --exit-idle-time=-1 --log-target=stderr 2>>"$work/server.log" &
  sound_server=$!
  started+=("$sound_server")
  wait_until 20 pactl info >/dev/null 2>&1 || { echo "FAIL the sound server did not start"; cat "$work/server.log"; exit 1; }
}
