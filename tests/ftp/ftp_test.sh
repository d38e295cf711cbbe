#!/usr/bin/env bash
# Runs the FTP server tests of ftp_tests.exe under Wine against a real FTP
# server (pyftpdlib) on 127.0.0.1:21 with a temporary root and a test user.
# The tests stop and start the server through its control port.
#
# usage: ftp_test.sh <ftp_tests.exe> <winrun> [gtest args...]
# Exit 77 (skipped) when pyftpdlib is missing or port 21 cannot be bound.
set -uo pipefail

exe=$1
winrun=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3

if ! "$py" -c "import pyftpdlib" 2>/dev/null; then
  echo "SKIP: python3-pyftpdlib is not installed (scripts/setup installs it)"
  exit 77
fi

tmp=$(mktemp -d /tmp/tonbar-ftp.XXXXXX)
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null
    wait "$server_pid" 2>/dev/null
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

mkdir -p "$tmp/root"
user=nahravky
password="tajne-$$-$RANDOM"
"$py" "$here/ftp_server.py" --root "$tmp/root" --user "$user" --password "$password" \
  --ctl-file "$tmp/ctl" >"$tmp/server.log" 2>&1 &
server_pid=$!

for _ in $(seq 1 200); do
  [ -f "$tmp/ctl" ] && break
  if ! kill -0 "$server_pid" 2>/dev/null; then
    wait "$server_pid"
    rc=$?
    server_pid=
    cat "$tmp/server.log"
    if [ "$rc" = 77 ]; then
      echo "SKIP: port 21 on 127.0.0.1 cannot be bound (needs root or a free port 21)"
      exit 77
    fi
    echo "FAIL: the FTP server did not start (exit $rc)"
    exit 1
  fi
  sleep 0.1
done
[ -f "$tmp/ctl" ] || { echo "FAIL: the FTP server did not report its control port"; cat "$tmp/server.log"; exit 1; }

export TONBAR_FTP_CTL=$(cat "$tmp/ctl")
# Wine maps the Unix root to drive Z:.
export TONBAR_FTP_ROOT="Z:${tmp//\//\\}\\root"
export TONBAR_FTP_USER=$user TONBAR_FTP_PASSWORD=$password
"$winrun" "$exe" --gtest_filter='FtpServer*' "$@"
rc=$?
if [ "$rc" != 0 ]; then
  echo "--- FTP server log ---"
  tail -n 80 "$tmp/server.log"
fi
exit $rc
