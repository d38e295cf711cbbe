#!/usr/bin/env bash
# Runs update_tests against python3 -m http.server on 127.0.0.1 and a free
# port, serving a temporary folder that the tests fill.
# usage: update_test.sh <update_tests.exe> <winrun>
set -uo pipefail
exe=$1
winrun=$2
command -v python3 >/dev/null 2>&1 || { echo "FAIL: python3 is missing"; exit 1; }

tmp=$(mktemp -d /tmp/tonbar-update.XXXXXX)
pid=
cleanup() {
  [ -n "$pid" ] && { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }
  rm -rf "$tmp"
}
trap cleanup EXIT
mkdir -p "$tmp/www"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
python3 -m http.server --bind 127.0.0.1 --directory "$tmp/www" "$port" >"$tmp/http.log" 2>&1 &
pid=$!
up() { python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2).close()" 2>/dev/null; }
for _ in $(seq 1 100); do up && break; sleep 0.1; done
up || { echo "FAIL: the HTTP server did not start on 127.0.0.1:$port"; cat "$tmp/http.log"; exit 1; }

TONBAR_HTTP_ROOT="Z:${tmp//\//\\}\\www" TONBAR_HTTP_PORT=$port "$winrun" "$exe" --gtest_color=no
rc=$?
[ $rc -eq 0 ] || { echo "--- server log"; cat "$tmp/http.log"; }
exit $rc
