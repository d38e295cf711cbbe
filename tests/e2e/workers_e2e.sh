#!/usr/bin/env bash
# The worker-close tests against servers that stall on 127.0.0.1: SMTP (stops reading in DATA),
# pyftpdlib on port 21 at 200 KB/s, HTTP that never answers. A server that cannot start fails.
# usage: workers_e2e.sh <e2e_workers_tests.exe> <winrun>
set -uo pipefail
exe=$1
winrun=$2
here=$(cd "$(dirname "$0")/.." && pwd)
py=/usr/bin/python3
$py -c 'import aiosmtpd, pyftpdlib' 2>/dev/null || { echo "FAIL: python3-aiosmtpd or python3-pyftpdlib is missing"; exit 1; }

tmp=$(mktemp -d /tmp/tonbar-workers.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT

$py "$here/harness/servers.py" "$tmp/spool" &
pids+=($!)

mkdir -p "$tmp/ftp"
ftp_password="tajne-$$-$RANDOM"
$py "$here/harness/servers.py" --root "$tmp/ftp" --user nahravky --password "$ftp_password" \
  --ctl-file "$tmp/ftp.ctl" --throttle 204800 >"$tmp/ftp.log" 2>&1 &
pids+=($!)

# Accepts every connection and says nothing; notes each one.
$py - "$tmp/http.port" "$tmp/http.log" <<'PY' &
import socket, sys, threading
s = socket.socket()
s.bind(('127.0.0.1', 0))
s.listen(8)
open(sys.argv[1] + '.tmp', 'w').write('%d\n' % s.getsockname()[1])
import os; os.replace(sys.argv[1] + '.tmp', sys.argv[1])
held = []
while True:
    c, _ = s.accept()
    held.append(c)
    with open(sys.argv[2], 'a') as f:
        f.write('connection\n')
PY
pids+=($!)

for _ in $(seq 1 200); do
  [ -f "$tmp/spool/ports.txt" ] && [ -f "$tmp/http.port" ] && { [ -f "$tmp/ftp.ctl" ] || ! kill -0 "${pids[1]}" 2>/dev/null; } && break
  sleep 0.1
done
[ -f "$tmp/spool/ports.txt" ] && [ -f "$tmp/http.port" ] || { echo "FAIL: the SMTP or HTTP server did not start"; exit 1; }
[ -f "$tmp/ftp.ctl" ] || { echo "FAIL: the FTP server did not start (is port 21 taken?)"; cat "$tmp/ftp.log"; exit 1; }

export TONBAR_SMTP_SPOOL=$tmp/spool
export TONBAR_HTTP_SILENT_PORT=$(cat "$tmp/http.port") TONBAR_HTTP_SILENT_LOG="Z:${tmp//\//\\}\\http.log"
export TONBAR_FTP_CTL=$(cat "$tmp/ftp.ctl") TONBAR_FTP_ROOT="Z:${tmp//\//\\}\\ftp"
export TONBAR_FTP_USER=nahravky TONBAR_FTP_PASSWORD=$ftp_password
"$winrun" "$exe" --gtest_color=no
