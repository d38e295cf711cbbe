#!/usr/bin/env bash
# The worker-close tests against servers that stall on 127.0.0.1: SMTP (stops reading in DATA),
# pyftpdlib on port 21 at 200 KB/s, HTTP that never answers. A server that cannot start fails.
# usage: workers_e2e.sh <e2e_workers_tests.exe> <winrun>
set -uo pipefail
exe=$1 winrun=$2
here=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d /tmp/tonbar-workers.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT

mkdir -p "$tmp/ftp"
export TONBAR_FTP_USER=nahravky TONBAR_FTP_PASSWORD="tajne-$$-$RANDOM"
/usr/bin/python3 "$here/harness/servers.py" "$tmp/spool" --root "$tmp/ftp" --user "$TONBAR_FTP_USER" \
  --password "$TONBAR_FTP_PASSWORD" --ctl-file "$tmp/ftp.ctl" --throttle 204800 >"$tmp/servers.log" 2>&1 &
pids+=($!)
# Accepts every connection and says nothing; notes each one.
/usr/bin/python3 - "$tmp/http.port" "$tmp/http.log" <<'PY' &
import os, socket, sys
s = socket.socket()
s.bind(('127.0.0.1', 0))
s.listen(8)
open(sys.argv[1] + '.tmp', 'w').write('%d\n' % s.getsockname()[1])
os.replace(sys.argv[1] + '.tmp', sys.argv[1])
held = []
while True:
    held.append(s.accept()[0])
    with open(sys.argv[2], 'a') as f:
        f.write('connection\n')
PY
pids+=($!)

for _ in $(seq 1 200); do
  [ -f "$tmp/spool/ports.txt" ] && [ -f "$tmp/ftp.ctl" ] && [ -f "$tmp/http.port" ] && break
  kill -0 "${pids[0]}" 2>/dev/null || break
  sleep 0.1
done
[ -f "$tmp/spool/ports.txt" ] && [ -f "$tmp/ftp.ctl" ] && [ -f "$tmp/http.port" ] ||
  { echo "FAIL: a server did not start (is port 21 taken?)"; cat "$tmp/servers.log"; exit 1; }

export TONBAR_SMTP_SPOOL=$tmp/spool TONBAR_FTP_CTL=$(cat "$tmp/ftp.ctl") TONBAR_FTP_ROOT="Z:${tmp//\//\\}\\ftp"
export TONBAR_HTTP_SILENT_PORT=$(cat "$tmp/http.port") TONBAR_HTTP_SILENT_LOG="Z:${tmp//\//\\}\\http.log"
"$winrun" "$exe" --gtest_color=no
