# A virtual microphone: a PulseAudio server of this run's own (in
# XDG_RUNTIME_DIR) with a null sink "mic"; whatever is played into the sink
# is what Wine records from its monitor. Source it, then
#   tonbar_start_virtual_mic LOGFILE   sets TONBAR_PULSE_PID, returns 1 on failure
tonbar_start_virtual_mic() {
  local log=$1
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --log-target=stderr \
    -L "module-null-sink sink_name=mic sink_properties=device.description=Mikrofon" \
    -L module-native-protocol-unix -L module-always-sink >"$log" 2>&1 &
  TONBAR_PULSE_PID=$!
  local i
  for i in $(seq 1 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.2
  done
  pactl set-default-source mic.monitor >/dev/null 2>&1
}

# The common frame of the recording test wrappers. Source this file, then
#   tonbar_recording_test NAME TOOL...
# exits 77 without pulseaudio and 1 when a tool is missing; makes $tmp with
# run/, home/ and out/, a private HOME and XDG_RUNTIME_DIR and, unless one is
# given, a WINEPREFIX of its own; starts the virtual microphone; and at exit
# kills every pid in $tonbar_kill_at_exit, the microphone and the prefix's
# wineserver, and removes $tmp.
tonbar_recording_test() {
  local name=$1 tool
  shift
  if ! command -v pulseaudio >/dev/null 2>&1; then
    echo "SKIP: no pulseaudio binary, so no virtual microphone to record from"
    exit 77
  fi
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is missing"; exit 1; }
  done
  tmp=$(mktemp -d "/tmp/tonbar-$name.XXXXXX")
  tonbar_kill_at_exit=
  TONBAR_PULSE_PID=
  trap tonbar_recording_test_cleanup EXIT
  mkdir -p "$tmp/run" "$tmp/home" "$tmp/out"
  chmod 700 "$tmp/run"
  export XDG_RUNTIME_DIR=$tmp/run HOME=$tmp/home
  tonbar_own_prefix=
  if [ -z "${WINEPREFIX:-}" ]; then
    tonbar_own_prefix=$tmp/wine
    export WINEPREFIX=$tonbar_own_prefix
  fi
  tonbar_start_virtual_mic "$tmp/pulse.log"
  pactl info >/dev/null 2>&1 || { echo "FAIL: PulseAudio did not start"; cat "$tmp/pulse.log"; exit 1; }
}

tonbar_recording_test_cleanup() {
  local p
  for p in $tonbar_kill_at_exit; do kill "$p" 2>/dev/null; done
  [ -n "$TONBAR_PULSE_PID" ] && { kill "$TONBAR_PULSE_PID" 2>/dev/null; wait "$TONBAR_PULSE_PID" 2>/dev/null; }
  [ -n "$tonbar_own_prefix" ] && WINEPREFIX=$tonbar_own_prefix wineserver -k 2>/dev/null
  rm -rf "$tmp"
}
