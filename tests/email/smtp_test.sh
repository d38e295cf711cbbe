#!/usr/bin/env bash
# Runs the Windows-side e-mail tests under Wine against real SMTP servers on
# 127.0.0.1 (smtp_servers.py): aiosmtpd with AUTH LOGIN and scripted fault
# servers. The executable finds the servers' ports and received messages in
# TONBAR_SMTP_SPOOL; it runs in a Czech locale, so the ANSI code page is 1250.
#
# usage: smtp_test.sh <email_tests.exe> <winrun> [gtest arguments]
set -uo pipefail
# Balloons need the notification area, which needs a display.
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1 && [ -z "${TONBAR_SMTP_XVFB:-}" ]; then
  TONBAR_SMTP_XVFB=1 exec xvfb-run -a bash "$0" "$@"
fi
exe=$1
winrun=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3
$py -c 'import aiosmtpd' 2>/dev/null || { echo "FAIL: python3-aiosmtpd is missing (scripts/setup)"; exit 1; }

tmp=$(mktemp -d /tmp/tonbar-smtp.XXXXXX)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && { kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; }
  [ -n "${own_prefix:-}" ] && WINEPREFIX=$own_prefix wineserver -k 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$tmp/wine
  export WINEPREFIX=$own_prefix HOME=$tmp/home
  mkdir -p "$HOME"
fi

$py "$here/smtp_servers.py" "$tmp/spool" &
server_pid=$!
for _ in $(seq 1 100); do
  [ -f "$tmp/spool/ports.txt" ] && break
  sleep 0.1
done
[ -f "$tmp/spool/ports.txt" ] || { echo "FAIL: the SMTP servers did not start"; exit 1; }

export TONBAR_SMTP_SPOOL=$tmp/spool
# A Czech locale of the run's own, so that Wine's ANSI code page is 1250 and
# Czech file names reach the Unix side.
if ! localedef -i cs_CZ -f UTF-8 "$tmp/locale/cs_CZ.UTF-8" >/dev/null 2>&1; then
  mkdir -p "$tmp/locale"
  localedef -i cs_CZ -f UTF-8 "$tmp/locale/cs_CZ.UTF-8" >/dev/null 2>&1 ||
    { echo "FAIL: cannot build the cs_CZ.UTF-8 locale (localedef)"; exit 1; }
fi
export LOCPATH=$tmp/locale LC_ALL=cs_CZ.UTF-8
"$winrun" "$exe" --gtest_color=no "$@"
