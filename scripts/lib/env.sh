# Shared by scripts/test and scripts/run: a private Wine prefix, HOME, X
# display and PulseAudio server for one run, all removed again at exit.
# Source it, then call tonbar_env_start [--no-display] [--no-audio].

. "$(dirname "${BASH_SOURCE[0]}")/pulse.sh"

tonbar_env_cleanup() {
  set +e
  if [ -n "${TONBAR_RUN_DIR:-}" ] && [ -d "$TONBAR_RUN_DIR" ]; then
    [ -n "${TONBAR_KEEPER_PID:-}" ] && kill "$TONBAR_KEEPER_PID" >/dev/null 2>&1
    [ -n "${WINEPREFIX:-}" ] && WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1
    [ -n "${TONBAR_PULSE_PID:-}" ] && kill "$TONBAR_PULSE_PID" >/dev/null 2>&1
    [ -n "${TONBAR_XVFB_PID:-}" ] && kill "$TONBAR_XVFB_PID" >/dev/null 2>&1
    wait >/dev/null 2>&1
    rm -rf "$TONBAR_RUN_DIR"
  fi
}

tonbar_env_start() {
  local want_display=1 want_audio=1
  for a in "$@"; do
    case "$a" in
      --no-display) want_display=0 ;;
      --no-audio) want_audio=0 ;;
      --keep-display) want_display=2 ;;
    esac
  done
  TONBAR_RUN_DIR=$(mktemp -d /tmp/tonbar-run.XXXXXX)
  chmod 700 "$TONBAR_RUN_DIR"
  export TONBAR_RUN_DIR
  export HOME="$TONBAR_RUN_DIR/home" XDG_RUNTIME_DIR="$TONBAR_RUN_DIR/run"
  export WINEPREFIX="$TONBAR_RUN_DIR/wine" WINEDEBUG="${WINEDEBUG:--all}"
  # No .NET or Gecko prompts; and no winemenubuilder, which would mirror each
  # shortcut a setup makes into HOME from a process of its own, reading the
  # program's file while the tests go on with it.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$TONBAR_RUN_DIR/tmp"
  chmod 700 "$XDG_RUNTIME_DIR"
  trap tonbar_env_cleanup EXIT

  if [ "$want_display" = 1 ] || { [ "$want_display" = 2 ] && [ -z "${DISPLAY:-}" ]; }; then
    local fifo="$TONBAR_RUN_DIR/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    TONBAR_XVFB_PID=$!
    local n
    read -r -t 20 n <"$fifo" || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$n"
  fi

  if [ "$want_audio" = 1 ]; then
    tonbar_start_virtual_mic "$TONBAR_RUN_DIR/pulse.log" || { echo "PulseAudio did not start" >&2; return 1; }
  fi

  # One Wine prefix and one Wine server for the whole run (creating a prefix
  # takes a few seconds). The server and the system services it runs start
  # here, with no pipe of ctest's: a Wine process hands its standard handles
  # on to the services it starts, and a service holding a test's output pipe
  # makes ctest wait for it until the test's time-out.
  # The server needs the prefix's folder to exist; wineboot fills it.
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1 || { echo "wineserver did not start" >&2; return 1; }
  wineboot -i </dev/null >/dev/null 2>&1
  # Wine stops its services a little after the last program ends, and the
  # next program starts them again with its own standard handles: ctest then
  # waits for them, about 20 s a test. A program that waits for input during
  # the whole run keeps them running; it reads from a fifo that a sleep
  # holds open, and ends when the sleep is killed.
  mkfifo "$TONBAR_RUN_DIR/keep"
  sleep 86400 >"$TONBAR_RUN_DIR/keep" </dev/null 2>/dev/null &
  TONBAR_KEEPER_PID=$!
  wine cmd.exe /q <"$TONBAR_RUN_DIR/keep" >/dev/null 2>&1 &
  # No window manager runs on Xvfb: let Wine draw the window frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null 2>&1
}
