#!/usr/bin/env bash
# Runs the main-window end-to-end tests with a PulseAudio virtual microphone
# of their own, fed with speech, and judges every recording they leave with
# ffprobe: one wmav2 stream, and the speech recording at least 3 s long.
#
# usage: mainwindow_e2e.sh <e2e_mainwindow_tests.exe> <winrun>
# Exit 77 (skipped) only when there is no pulseaudio binary.
set -uo pipefail
exe=$1
winrun=$2
. "$(dirname "$0")/../../scripts/lib/pulse.sh"
tonbar_recording_test e2e pactl paplay espeak-ng sox ffprobe wine
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"

espeak-ng -v cs -w "$tmp/speech.wav" "Dobrý den, toto je zkouška hlavního okna. Jedna, dva, tři, čtyři, pět." ||
  { echo "FAIL: espeak-ng"; exit 1; }
sox "$tmp/speech.wav" -r 44100 -c 2 "$tmp/speech44.wav"
for i in 1 2 3 4 5 6; do cp "$tmp/speech44.wav" "$tmp/s$i.wav"; done
sox "$tmp"/s?.wav "$tmp/loop.wav"
"$winrun" "$exe" --gtest_list_tests >/dev/null 2>&1
# Played over and over: the tests wait for the level to show sound.
(while :; do paplay -d mic "$tmp/loop.wav" || sleep 0.5; done) >/dev/null 2>&1 &
tonbar_kill_at_exit="$tonbar_kill_at_exit $!"

TONBAR_E2E_OUT="Z:${tmp//\//\\}\\out" "$winrun" "$exe" --gtest_color=no
rc=$?
[ $rc -eq 0 ] || { echo "FAIL: the end-to-end tests failed ($rc)"; exit 1; }

fail=0
count=0
while IFS= read -r -d '' f; do
  count=$((count + 1))
  codec=$(ffprobe -v error -select_streams a -show_entries stream=codec_name -of csv=p=0 "$f")
  dur=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$f")
  min=0.5
  case "$f" in */nahravani/*) min=3 ;; esac
  if [ "$codec" = wmav2 ] && awk -v d="$dur" -v m="$min" 'BEGIN { exit !(d >= m) }'; then
    echo "ok   ${f#$tmp/out/}: $codec, $dur s"
  else
    echo "FAIL ${f#$tmp/out/}: codec '$codec', duration '$dur' s (at least $min)"
    fail=1
  fi
done < <(find "$tmp/out" -name '*.wma' -print0)
[ $count -ge 5 ] || { echo "FAIL: only $count recordings were left to judge"; fail=1; }
exit $fail
