#!/usr/bin/env bash
# The one way a test starts its servers: runs a Windows test executable under Wine against real
# servers on 127.0.0.1 (servers.py), "smtp", "ftp" (port 21) or "http", in a Czech locale (ANSI code
# page 1250). A server that cannot start fails the test with the reason.
# usage: servers.sh smtp|ftp|http <tests.exe> <winrun> [gtest arguments]
set -uo pipefail
# Balloons need the notification area, which needs a display.
if [ -z "${DISPLAY:-}" ] && [ -z "${TONBAR_SERVERS_XVFB:-}" ]; then
  TONBAR_SERVERS_XVFB=1 exec xvfb-run -a bash "$0" "$@"
fi
kind=$1 exe=$2 winrun=$3
shift 3
tmp=$(mktemp -d /tmp/tonbar-servers.XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }
  [ -n "${own_prefix:-}" ] && WINEPREFIX=$own_prefix wineserver -k 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
# A prefix of our own when none is given: the SMTP tests edit its services file.
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$tmp/wine
  export WINEPREFIX=$own_prefix HOME=$tmp/home
  mkdir -p "$HOME"
fi

mkdir -p "$tmp/root"
root="Z:${tmp//\//\\}\\root" ready=$tmp/ctl
case $kind in
  smtp)
    args=("$tmp/spool") ready=$tmp/spool/ports.txt
    export TONBAR_SMTP_SPOOL=$tmp/spool ;;
  ftp)
    export TONBAR_FTP_USER=nahravky TONBAR_FTP_PASSWORD="tajne-$$-$RANDOM" TONBAR_FTP_ROOT=$root
    args=(--root "$tmp/root" --user "$TONBAR_FTP_USER" --password "$TONBAR_FTP_PASSWORD" --ctl-file "$ready") ;;
  http)
    export TONBAR_HTTP_ROOT=$root
    args=(--http "$tmp/root" --ctl-file "$ready") ;;
  *) echo "usage: servers.sh smtp|ftp|http <tests.exe> <winrun> [gtest arguments]"; exit 2 ;;
esac
/usr/bin/python3 "$(dirname "$0")/servers.py" "${args[@]}" >"$tmp/servers.log" 2>&1 &
pid=$!
for _ in $(seq 1 200); do
  [ -f "$ready" ] || ! kill -0 "$pid" 2>/dev/null && break
  sleep 0.1
done
if [ ! -f "$ready" ]; then
  echo "FAIL: the $kind server did not start:"
  cat "$tmp/servers.log"
  exit 1
fi
[ "$kind" = ftp ] && export TONBAR_FTP_CTL=$(cat "$ready")
[ "$kind" = http ] && export TONBAR_HTTP_PORT=$(cat "$ready")

# A Czech locale of the run's own: Wine's ANSI code page is 1250, Czech file names reach the Unix side.
mkdir -p "$tmp/locale"
localedef -i cs_CZ -f UTF-8 "$tmp/locale/cs_CZ.UTF-8" >/dev/null 2>&1 ||
  { echo "FAIL: cannot build the cs_CZ.UTF-8 locale (localedef)"; exit 1; }
export LOCPATH=$tmp/locale LC_ALL=cs_CZ.UTF-8
"$winrun" "$exe" --gtest_color=no "$@"
rc=$?
[ $rc = 0 ] || { echo "--- servers.py ---"; tail -n 40 "$tmp/servers.log"; }
exit $rc
