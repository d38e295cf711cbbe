#!/usr/bin/env bash
# The real Tonbar.exe shows the input level while it records and warns about
# a silent microphone. Read from outside (the status bar's third part, the
# event log's traces): speech played into the virtual microphone reads
# between -40 and 0 dB and "ticho" within 1 s after it stops; with
# varovani_ticho 5 a silent microphone is warned about once after 5-7 s, and
# silence after sound a second time; the window keeps answering while a
# recording starts and stops. Leaves screenshots of the status bar and the
# window while speech is recorded.
#
# usage: recording_level.sh <Tonbar.exe> <tonbar-ctl.exe>
set -uo pipefail
exe=$1
ctl=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/pulse.sh"
tonbar_recording_test level pactl paplay espeak-ng sox wine python3
export WINEDEBUG=-all
[ -n "$tonbar_own_prefix" ] && { wineboot -i >/dev/null 2>&1; wineserver -w; }

fail=0
bad() { echo "FAIL $*"; fail=1; }
ok() { echo "ok   $*"; }
ctl() { wine "$ctl" "$@" 2>/dev/null | tr -d '\r'; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f\n", b - a }'; }
between() { awk -v x="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(x >= lo && x <= hi) }'; }
winpath() { echo "Z:${1//\//\\}"; }
# How many event-log entries begin with TEXT (Wine traces them, non-ASCII escaped).
events() {
  python3 - "$1" "$2" <<'EOF'
import sys
text = sys.argv[2]
quoted = ''.join(c if 32 <= ord(c) < 127 and c not in '"\\' else '\\%04x' % ord(c) for c in text)
print(sum(1 for line in open(sys.argv[1], encoding='latin-1') if 'ReportEventW L"' + quoted in line))
EOF
}
# The level in whole dB ("-18" for "−18 dB"), "ticho", or the text as read.
level() { ctl level | sed -e 's/^\xe2\x88\x92/-/' -e 's/^\(-\{0,1\}[0-9]*\) dB$/\1/'; }

# Speech without pauses at commas, cut where its sound begins and ends.
espeak-ng -v cs -w "$tmp/speech.wav" "Dobrý den zkouška úrovně vstupu jedna dva tři čtyři pět šest sedm osm" || exit 1
sox "$tmp/speech.wav" -r 44100 -c 2 "$tmp/s.wav" silence 1 0.05 1% reverse silence 1 0.05 1% reverse

key='HKCU\Software\Mirvak\Tonbar\4'
dir=$tmp/out/level
mkdir -p "$dir"
wine reg delete "$key" /f >/dev/null 2>&1
wine reg add "$key" /v slozka_data /d "$(winpath "$dir")" /f >/dev/null 2>&1
wine reg add "$key\\seznam_souboru" /v slozka /d "$(winpath "$dir")" /f >/dev/null 2>&1
wine reg add "$key" /v varovani_ticho /t REG_DWORD /d 5 /f >/dev/null 2>&1
wine reg add "$key" /v zapis_udalosti /t REG_DWORD /d 1 /f >/dev/null 2>&1
warning="Záznam zvuku je už 5 s potichu. Zkontrolujte zvukové zařízení "
log=$tmp/level.log

WINEDEBUG=+eventlog wine "$exe" 2>"$log" &
app=$!
tonbar_kill_at_exit="$tonbar_kill_at_exit $app"
ctl wait 60000 >/dev/null || { echo "FAIL Tonbar did not show its window"; exit 1; }
sleep 1
[ -z "$(ctl level)" ] && ok "idle: the level part is empty" || bad "idle: the level part reads '$(ctl level)'"

# --- A silent microphone: one warning after 5-7 s ------------------------
t0=$(now)
read -r slowest pings < <(ctl ping 40011 3000)
echo "     start: the slowest of $pings answers to WM_NULL took $slowest ms"
[ "${slowest:-99999}" -lt 250 ] && ok "start: the window answered throughout" ||
  bad "start: the window did not answer for ${slowest:-?} ms"
ctl status | grep -q '^Probíhá záznam do souboru' || bad "no recording started: $(ctl status)"
took=
while between "$(since "$t0")" 0 10; do
  [ "$(events "$log" "$warning")" -ge 1 ] && { took=$(since "$t0"); break; }
  sleep 0.2
done
if [ -n "$took" ] && between "$took" 5 7; then ok "silence: warned after $took s"; else bad "silence: warned after ${took:-no} s"; fi
[ "$(level)" = ticho ] && ok "silence: the level reads ticho" || bad "silence: the level reads '$(ctl level)'"
sleep 3
n=$(events "$log" "$warning")
[ "$n" = 1 ] && ok "silence: warned once in $(since "$t0") s" || bad "silence: $n warnings"

# --- Speech: the level between -40 and 0 dB, ticho soon after -------------
paplay -d mic "$tmp/s.wav" &
player=$!
tonbar_kill_at_exit="$tonbar_kill_at_exit $player"
sleep 1
shots=${TONBAR_SCREENSHOT_DIR:-$root/build/screenshots}
mkdir -p "$shots"
ctl shot status "$(winpath "$shots")\\uroven_status.png" || bad "no screenshot of the status bar"
ctl shot window "$(winpath "$shots")\\uroven_okno.png" || bad "no screenshot of the window"
readings=()
while kill -0 "$player" 2>/dev/null; do
  readings+=("$(level)")
done
stopped=$(now)
wait "$player"
quiet=
while between "$(since "$stopped")" 0 3; do
  [ "$(level)" = ticho ] && { quiet=$(since "$stopped"); break; }
done
echo "     while speech played: ${readings[*]}"
in_range=0
for r in "${readings[@]}"; do
  [[ "$r" =~ ^-?[0-9]+$ ]] && between "$r" -40 0 && in_range=$((in_range + 1))
done
# Pauses between words may read lower: most readings must be speech.
[ "$in_range" -ge 3 ] && [ $((in_range * 4)) -ge $((${#readings[@]} * 3)) ] &&
  ok "speech: $in_range of ${#readings[@]} readings between -40 and 0 dB" ||
  bad "speech: $in_range of ${#readings[@]} readings between -40 and 0 dB"
[ -n "$quiet" ] && between "$quiet" 0 1 && ok "speech stopped: ticho after $quiet s" ||
  bad "speech stopped: ticho after ${quiet:-3+} s"

# --- Silence again: a second warning ----------------------------------------
t1=$(now)
while between "$(since "$t1")" 0 9; do
  [ "$(events "$log" "$warning")" -ge 2 ] && break
  sleep 0.2
done
n=$(events "$log" "$warning")
[ "$n" = 2 ] && ok "silence after speech: a second warning $(since "$t1") s after the speech" ||
  bad "silence after speech: $n warnings in all"

read -r slowest pings < <(ctl ping 40013 3000)
echo "     stop: the slowest of $pings answers to WM_NULL took $slowest ms"
[ "${slowest:-99999}" -lt 250 ] && ok "stop: the window answered throughout" ||
  bad "stop: the window did not answer for ${slowest:-?} ms"
[ -z "$(ctl level)" ] && ok "stopped: the level part is empty" || bad "stopped: the level part reads '$(ctl level)'"
ctl close 30000 >/dev/null
rc=0
wait "$app" || rc=$?
[ "$rc" = 0 ] || bad "Tonbar exited with $rc"
exit $fail
