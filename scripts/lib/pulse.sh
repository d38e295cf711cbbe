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
