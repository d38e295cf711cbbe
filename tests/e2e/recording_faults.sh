#!/usr/bin/env bash
# The real Tonbar.exe recording from a virtual microphone of its own, read through tonbar-ctl and
# the event log: the input level and silence warning, then the faults that cost users recordings,
# each injected for real (same minute, full tmpfs, sound server killed or stalled, Tonbar killed
# and repaired). Every file left is judged by ffprobe/ffmpeg.
# usage (as root): recording_faults.sh <Tonbar.exe> <tonbar-ctl.exe>
# TONBAR_KILL_PROFILES=all measures the loss of a killed recording at each of the seven profiles.
set -uo pipefail
exe=$1 ctl=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/pulse.sh"
tonbar_recording_test faults pactl paplay espeak-ng sox ffprobe ffmpeg wine python3
[ "$(id -u)" = 0 ] || { echo "FAIL: this test mounts a tmpfs and must run as root"; exit 1; }
export WINEDEBUG=-all
[ -n "$tonbar_own_prefix" ] && { wineboot -i >/dev/null 2>&1; wineserver -w; }

fail=0
bad() { echo "FAIL $*"; fail=1; }
ok() { echo "ok   $*"; }
check() {  # WHAT COMMAND...: ok WHAT when the command succeeds
  local what=$1
  shift
  if "$@"; then ok "$what"; else bad "$what"; fi
}

feed() {
  (while :; do paplay -d mic "$tmp/loop.wav" || sleep 0.5; done) >/dev/null 2>&1 &
  tonbar_kill_at_exit="$tonbar_kill_at_exit $!"
}

winpath() { echo "Z:${1//\//\\}"; }
key='HKCU\Software\Mirvak\Tonbar\4'
reg() {  # reg SUBKEY NAME TYPE VALUE
  local k=$key
  [ -n "$1" ] && k="$key\\$1"
  wine reg add "$k" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1
}
fresh_config() {  # FOLDER (created): recordings go there and the list shows it
  mkdir -p "$1"
  wine reg delete "$key" /f >/dev/null 2>&1
  reg "" slozka_data REG_SZ "$(winpath "$1")"
  reg seznam_souboru slozka REG_SZ "$(winpath "$1")"
}
ctl() { wine "$ctl" "$@" 2>/dev/null | tr -d '\r'; }
status() { ctl status; }
recording() { status | grep -q '^Probíhá záznam do souboru'; }
# Sound reaches the file: the level reads decibels. The start does not wait
# for the device's first sound, which Wine delivers seconds later.
sounding() { recording && ctl level | grep -q 'dB$'; }
start_tonbar() {  # LOG: Wine's traces and the program's output
  WINEDEBUG=+eventlog wine "$exe" >"$1" 2>&1 &
  app=$!
  tonbar_kill_at_exit="$tonbar_kill_at_exit $app"
  ctl wait 60000 >/dev/null || { bad "Tonbar did not show its window"; tail -n 20 "$1"; return 1; }
  sleep 1
}
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f\n", b - a }'; }
between() { awk -v x="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(x >= lo && x <= hi) }'; }
wait_for() {  # SECONDS COMMAND...: polls every 0.3 s; the seconds it took, or fails
  local limit=$1 t0
  shift
  t0=$(now)
  until "$@"; do
    between "$(since "$t0")" 0 "$limit" || return 1
    sleep 0.3
  done
  since "$t0"
}
not_recording() { ! recording; }
start_recording() {  # WHAT [STATE]: the start command, then STATE (sounding) within 15 s
  ctl command 40011
  wait_for 15 "${2:-sounding}" >/dev/null || bad "$1: no recording started: $(status)"
}
stop_recording() {  # WHAT
  ctl command 40013
  wait_for 15 not_recording >/dev/null || bad "$1: the recording did not stop: $(status)"
}
close_tonbar() {
  ctl close 30000 >/dev/null
  wait "$app" || bad "Tonbar exited with $?"
}
decoded() {  # FILE [FROM]: seconds of sound ffmpeg decodes from the file (from second FROM on)
  local bytes
  bytes=$(ffmpeg -nostdin -v error -ss "${2:-0}" -i "$1" -f s16le -ac 2 -ar 44100 - 2>/dev/null | wc -c)
  awk -v b="$bytes" 'BEGIN { printf "%.2f\n", b / 176400 }'
}
ge() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; }
near() { awk -v a="$1" -v b="$2" -v d="$3" 'BEGIN { exit !(a - b < d && b - a < d) }'; }  # A B DISTANCE
# How many event-log entries of LOG hold TEXT (Wine traces them, non-ASCII escaped).
events() {
  python3 - "$1" "$2" <<'EOF'
import sys
text = sys.argv[2]
quoted = ''.join(c if 32 <= ord(c) < 127 and c not in '"\\' else '\\%04x' % ord(c) for c in text)
print(sum(1 for line in open(sys.argv[1], encoding='latin-1') if 'ReportEventW L"' in line and quoted in line))
EOF
}
event_logged() { [ "$(events "$1" "$2")" -ge 1 ]; }
warned() { [ "$(events "$log" "$warning")" -ge "$1" ]; }  # at least N silence warnings in $log
# Posts command ID: the window answers WM_NULL within 250 ms throughout the next 3 s.
answers() {  # WHAT ID
  local slowest pings
  read -r slowest pings < <(ctl ping "$2" 3000)
  check "$1: the window answered throughout, $pings answers to WM_NULL, the slowest in ${slowest:-?} ms" \
    [ "${slowest:-99999}" -lt 250 ]
}
# The level in whole dB ("-18" for "−18 dB"), "ticho", or the text as read.
level() { ctl level | sed -e 's/^\xe2\x88\x92/-/' -e 's/^\(-\{0,1\}[0-9]*\) dB$/\1/'; }
# The header's flags: 2 is seekable (finished), 1 is broadcast (still being written).
asf_flags() {
  python3 - "$1" <<'EOF'
import struct, sys, uuid
b = open(sys.argv[1], 'rb').read(1 << 16)
fp = uuid.UUID('8CABDCA1-A947-11CF-8EE4-00C00C205365').bytes_le
i = b.find(fp)
print(struct.unpack_from('<I', b, i + 88)[0] if i >= 0 else -1)
EOF
}
finished() { [ "$(asf_flags "$1")" = 2 ]; }

# --- 0. The input level and the silence warning (nothing is played yet) ------
# Speech without pauses at commas, cut where its sound begins and ends.
espeak-ng -v cs -w "$tmp/level.wav" "Dobrý den zkouška úrovně vstupu jedna dva tři čtyři pět šest sedm osm" || exit 1
sox "$tmp/level.wav" -r 44100 -c 2 "$tmp/l.wav" silence 1 0.05 1% reverse silence 1 0.05 1% reverse
dir=$tmp/out/level
fresh_config "$dir"
reg "" varovani_ticho REG_DWORD 5
reg "" zapis_udalosti REG_DWORD 1
warning="Záznam zvuku je už 5 s potichu. Zkontrolujte zvukové zařízení "
log=$tmp/level.log
start_tonbar "$log" || exit 1
check "idle: the level part reads '$(ctl level)'" [ -z "$(ctl level)" ]
# A silent microphone: one warning after 5-7 s.
t0=$(now)
answers start 40011
recording || bad "no recording started: $(status)"
wait_for 8 warned 1 >/dev/null
took=$(since "$t0")
check "silence: warned after $took s (5 to 7)" between "$took" 5 7
check "silence: the level reads '$(ctl level)'" [ "$(level)" = ticho ]
sleep 3
n=$(events "$log" "$warning")
check "silence: $n warnings in $(since "$t0") s" [ "$n" = 1 ]
# Speech: the level between -40 and 0 dB, ticho soon after.
paplay -d mic "$tmp/l.wav" &
player=$!
tonbar_kill_at_exit="$tonbar_kill_at_exit $player"
sleep 1
shots=${TONBAR_SCREENSHOT_DIR:-$root/build/screenshots}
mkdir -p "$shots"
readings=()
while kill -0 "$player" 2>/dev/null; do
  readings+=("$(level)")
  # Taken during the speech, once a few readings are in (slow on a busy machine).
  [ "${#readings[@]}" = 3 ] || continue
  ctl shot status "$(winpath "$shots")\\uroven_status.png" || bad "no screenshot of the status bar"
  ctl shot window "$(winpath "$shots")\\uroven_okno.png" || bad "no screenshot of the window"
done
wait "$player"
silent() { [ "$(level)" = ticho ]; }
quiet=$(wait_for 3 silent)
echo "     while speech played: ${readings[*]}"
in_range=0
for r in "${readings[@]}"; do
  [[ "$r" =~ ^-?[0-9]+$ ]] && between "$r" -40 0 && in_range=$((in_range + 1))
done
# Pauses between words may read lower: most readings must be speech.
check "speech: $in_range of ${#readings[@]} readings between -40 and 0 dB (at least 3 and three quarters)" \
  [ "$in_range" -ge 3 -a $((in_range * 4)) -ge $((${#readings[@]} * 3)) ]
check "speech stopped: ticho after ${quiet:-3+} s (1 at most)" between "${quiet:-9}" 0 1
# Silence again: a second warning.
t1=$(now)
wait_for 9 warned 2 >/dev/null
n=$(events "$log" "$warning")
check "silence after speech: $n warnings in all, the last $(since "$t1") s after the speech" [ "$n" = 2 ]
answers stop 40013
check "stopped: the level part reads '$(ctl level)'" [ -z "$(ctl level)" ]
close_tonbar

# From here on the microphone hears speech over and over.
espeak-ng -v cs -w "$tmp/speech.wav" "Jedna, dva, tři, čtyři, pět, šest, sedm, osm, devět, deset." || exit 1
sox "$tmp/speech.wav" -r 44100 -c 2 "$tmp/s.wav"
sox "$tmp/s.wav" "$tmp/s.wav" "$tmp/s.wav" "$tmp/s.wav" "$tmp/s.wav" "$tmp/s.wav" "$tmp/loop.wav"
feed

# --- 1. Two recordings in the same minute keep both files ---------------------
dir=$tmp/out/minute
fresh_config "$dir"
reg soubor vytv_jmena REG_DWORD 1
start_tonbar "$tmp/minute.log"
# Both starts must fall in one minute.
while [ "$(date +%-S)" -gt 40 ]; do sleep 1; done
start_recording minute recording
# A rename dialog holds the recording commands back until it closes.
ctl command 40039
sleep 1
ctl command 40013
sleep 2
check "minute: stop is refused while the rename dialog is open" recording
ctl dialog cancel >/dev/null || bad "minute: no rename dialog"
sleep 1
stop_recording minute
start_recording minute
sleep 2
stop_recording minute
close_tonbar
mapfile -t files < <(ls "$dir")
if [ ${#files[@]} = 2 ] && [[ "${files[0]}" == *" (2).wma" || "${files[1]}" == *" (2).wma" ]]; then
  ok "minute: two files: ${files[*]}"
else
  bad "minute: expected a file and its ' (2)': ${files[*]}"
  grep -v fixme "$tmp/minute.log" | tail -n 20
fi
for f in "$dir"/*.wma; do
  d=$(decoded "$f")
  check "minute: $(basename "$f") decodes $d s" ge "$d" 1
done

# --- 2. A full disk ends the recording, keeps what fit, and the next goes elsewhere
full=$tmp/out/full
other=$tmp/out/other
mkdir -p "$full" "$other"
mount -t tmpfs -o size=160k tmpfs "$full" || { bad "cannot mount a tmpfs"; exit 1; }
trap 'umount "$full" 2>/dev/null; tonbar_recording_test_cleanup' EXIT
fresh_config "$full"
reg 'profily_zaznamu\Jinde' slozka REG_SZ "$(winpath "$other")"
reg 'profily_zaznamu\Jinde' nazev REG_SZ Jinde
start_tonbar "$tmp/full.log"
start_recording full recording
file=$(ls "$full"/*.wma 2>/dev/null | head -n 1)
# The moment the disk is full, then how long until the program says so.
largest=0
t=$(wait_for 40 sh -c "[ \$(df --output=avail -B1 '$full' | tail -n 1) -lt 8192 ]") ||
  bad "full: the disk never filled"
largest=$(stat -c %s "$file")
took=$(wait_for 8 not_recording)
check "full: the recording ended ${took:-8+} s after the disk filled ($t s in): $(status)" ge 5 "${took:-9}"
check "full: Tonbar runs on" kill -0 "$app"
check "full: the interruption is in the event log" \
  event_logged "$tmp/full.log" "Záznam do souboru $(basename "$file") byl přerušen"
# Recording again into another folder: the list switches to the profile's folder.
ctl command 52600
sleep 1
start_recording "full, the next"
sleep 3
stop_recording full
close_tonbar
fit=$(awk -v s="$largest" 'BEGIN { printf "%.2f", s / 16000 }')   # 128 kbit/s
d=$(decoded "$file")
check "full: $d s of the $fit s that fit decode" ge "$d" "$(awk -v f="$fit" 'BEGIN { print f - 1 }')"
check "full: the file is finished (seekable): header flags $(asf_flags "$file")" finished "$file"
f2=$(ls "$other"/*.wma 2>/dev/null | head -n 1)
check "full: the next recording went to the other folder: $f2" ge "$(decoded "${f2:-none}")" 1.5
umount "$full"

# --- 3. The sound server killed during a recording -------------------------
dir=$tmp/out/server
fresh_config "$dir"
reg soubor vytv_jmena REG_DWORD 0
reg soubor jmeno REG_SZ Zkouska
reg soubor posledni_cislo REG_DWORD 5
start_tonbar "$tmp/server.log"
start_recording server
sleep 3
kill -9 "$TONBAR_PULSE_PID"
took=$(wait_for 6 not_recording)
check "server: the recording ended ${took:-6+} s after the server died: $(status)" [ -n "$took" ]
check "server: the interruption is in the event log" \
  event_logged "$tmp/server.log" "Záznam do souboru Zkouska_5.wma byl přerušen"
check "server: Tonbar runs on" kill -0 "$app"
close_tonbar
d=$(decoded "$dir/Zkouska_5.wma")
check "server: the interrupted recording decodes $d s" ge "$d" 2
tonbar_start_virtual_mic "$tmp/pulse2.log"
feed

# --- 4. A start whose device delivers nothing (the sound server stalls)
# leaves no file and uses no number, and does not freeze the window.
start_tonbar "$tmp/nosound.log"
kill -STOP "$TONBAR_PULSE_PID"
# The start does not wait for the device: the window answers meanwhile.
answers "no sound: the start" 40011
box=$(ctl dialog ok 20000)
check "no sound: the failed start says so: ${box//$'\n'/ }" [ -n "$box" ]
sleep 1
not_recording || bad "no sound: recording from a device that delivers nothing"
kill -CONT "$TONBAR_PULSE_PID"
close_tonbar
check "no sound: the failed start left no Zkouska_6.wma" [ ! -e "$dir/Zkouska_6.wma" ]
n=$(wine reg query "$key\\soubor" /v posledni_cislo 2>/dev/null | tr -d '\r' | awk '/posledni_cislo/ { print $3 }')
check "no sound: the running number is $((n)) (still 6)" [ "$((n))" = 6 ]

# --- 5. A sound server that stalls: the stop still takes about 2 s at most ---
dir=$tmp/out/stall
fresh_config "$dir"
start_tonbar "$tmp/stall.log"
start_recording stall
sleep 3
kill -STOP "$TONBAR_PULSE_PID"
ctl command 40013
took=$(wait_for 10 not_recording)
check "stall: stopped in ${took:-10+} s (3.5 at most): $(status)" ge 3.5 "${took:-11}"
kill -CONT "$TONBAR_PULSE_PID"
close_tonbar
f=$(ls "$dir"/*.wma | head -n 1)
d=$(decoded "$f")
check "stall: $d s decode" ge "$d" 2

# --- 6. Tonbar killed while recording; the next start repairs the file -----
profiles="{407B9450-8BDC-4EE5-88B8-6F527BD941F2}"
if [ "${TONBAR_KILL_PROFILES:-}" = all ]; then
  profiles="{7EA3126D-E1BA-4716-89AF-F65CEE0C0C67} {7E4CAB5C-35DC-45BB-A7C0-19B28070D0CC}
            {60907F9F-B352-47E5-B210-0EF1F47E9F9D} {5EE06BE5-492B-480A-8A8F-12F373ECF9D4}
            {09BB5BC4-3176-457F-8DD6-3CD919123E2D} {1FC81930-61F2-436F-9D33-349F2A1C0F10}
            {407B9450-8BDC-4EE5-88B8-6F527BD941F2}"
fi
for profile in $profiles; do
  dir=$tmp/out/killed$profile
  fresh_config "$dir"
  hex=$(python3 -c "import uuid,sys; print(uuid.UUID(sys.argv[1]).bytes_le.hex())" "$profile")
  reg wma profil REG_BINARY "$hex"
  start_tonbar "$tmp/killed.log"
  start_recording killed
  t0=$(now)
  sleep 6
  kill -9 "$app"
  t1=$(now)
  wait "$app" 2>/dev/null
  file=$(ls "$dir"/*.wma | head -n 1)
  d=$(decoded "$file")
  lost=$(awk -v a="$t0" -v b="$t1" -v d="$d" 'BEGIN { printf "%.2f", (b - a) - d }')
  kbps=$(ffprobe -v error -select_streams a -show_entries stream=bit_rate -of csv=p=0 "$file" | awk '{ print $1 / 1000 }')
  echo "     killed at $kbps kbit/s: $d s decode of $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }') s recorded: $lost s lost"
  check "killed: $d s decode" ge "$d" 5
  [ "$(asf_flags "$file")" = 1 ] || bad "killed: the file was finished without a repair"
  # The next start finishes it in the background and says so.
  start_tonbar "$tmp/repair.log"
  check "killed: repaired at the next start" wait_for 15 finished "$file"
  check "killed: the repair is reported" event_logged "$tmp/repair.log" "$(basename "$file")"
  close_tonbar
  d2=$(decoded "$file")
  p=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$file" 2>/dev/null)
  check "killed: duration $p s, $d2 s decode" near "$p" "$d2" 0.5
  half=$(awk -v d="$d2" 'BEGIN { printf "%.2f", d / 2 }')
  rest=$(decoded "$file" "$half")
  check "killed: from the middle ($half s) $rest s decode" near "$rest" "$half" 0.6
done

exit $fail
