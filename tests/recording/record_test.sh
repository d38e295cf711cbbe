#!/usr/bin/env bash
# The virtual microphone (PulseAudio, fed with speech) of recording_tests.exe and
# e2e_mainwindow_tests.exe; then ffprobe/ffmpeg judge every file they left: codec, the profile's
# parameters, duration against the wall clock, the sound against what was played in.
# usage: record_test.sh <recording_tests.exe | e2e_mainwindow_tests.exe> <winrun>
set -uo pipefail

exe=$1 winrun=$2
case "$(basename "$exe")" in e2e_*) mode=e2e ;; *) mode=recording ;; esac

command -v pulseaudio >/dev/null 2>&1 || { echo "FAIL: no pulseaudio binary for the virtual microphone"; exit 1; }
. "$(dirname "$0")/../../scripts/lib/pulse.sh"
tonbar_recording_test "$mode" pactl paplay espeak-ng sox ffprobe ffmpeg python3 wine
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"

espeak-ng -v cs -w "$tmp/speech.wav" \
  "Dobrý den, toto je zkouška nahrávání zvuku. Jedna, dva, tři, čtyři, pět, šest, sedm, osm,
   devět, deset. Nahráváme z virtuálního mikrofonu a posloucháme, zda je všechno v pořádku." \
  || { echo "FAIL: espeak-ng"; exit 1; }
sox "$tmp/speech.wav" -r 44100 -c 2 "$tmp/speech44.wav"
# Long enough to cover every recording of the first run.
sox "$tmp/speech44.wav" "$tmp/speech44.wav" "$tmp/speech44.wav" "$tmp/loop.wav"
sox -n -r 44100 -c 2 "$tmp/tone.wav" synth 20 sine 440 vol 0.7

# Create the prefix before the sound starts: that takes longer than the sound.
"$winrun" "$exe" --gtest_list_tests >/dev/null 2>&1

if [ "$mode" = e2e ]; then
  # Over and over: the program's tests wait for its level to show sound.
  (while :; do paplay -d mic "$tmp/loop.wav" || sleep 0.5; done) >/dev/null 2>&1 &
else
  paplay -d mic "$tmp/loop.wav" &
fi
tonbar_kill_at_exit="$tonbar_kill_at_exit $!"
sleep 0.5

if [ "$mode" = e2e ]; then
  TONBAR_E2E_OUT="Z:${tmp//\//\\}\\out" "$winrun" "$exe" --gtest_color=no ||
    { echo "FAIL: the end-to-end tests failed"; exit 1; }
else
  run_tests() {
    TONBAR_RECORD_DIR="Z:${tmp//\//\\}\\out" "$winrun" "$exe" --gtest_color=no \
      --gtest_also_run_disabled_tests --gtest_filter="$1" || { echo "FAIL: $1"; exit 1; }
  }
  run_tests 'Mikrofon.DISABLED_SpeechEveryProfileAndStartsAfterFailures'
  # A second device: "Monitor of Mikrofon2", fed with a tone.
  pactl load-module module-null-sink sink_name=mic2 sink_properties=device.description=Mikrofon2 >/dev/null ||
    { echo "FAIL: no second sink"; exit 1; }
  paplay -d mic2 "$tmp/tone.wav" &
  tonbar_kill_at_exit="$tonbar_kill_at_exit $!"
  sleep 0.5
  run_tests 'Mikrofon.DISABLED_EachDeviceIsBoundByItsName'
fi

python3 - "$tmp" "$mode" <<'PY'
import array, json, math, os, subprocess, sys

tmp, mode = sys.argv[1], sys.argv[2]
out = f"{tmp}/out"
failures = []

def check(cond, what):
    print(("ok   " if cond else "FAIL ") + what)
    if not cond:
        failures.append(what)

def probe(path):
    r = subprocess.run(["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", path],
                       capture_output=True, text=True)
    return json.loads(r.stdout or "{}")

def wmav2(info):
    return [s.get("codec_name") for s in info.get("streams", [])] == ["wmav2"]

def decode(path, rate):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-ac", "1", "-ar", str(rate), "-"],
                         capture_output=True).stdout
    a = array.array("h")
    a.frombytes(raw[: len(raw) // 2 * 2])
    return a

if mode == "e2e":
    # Every file the program left: one wmav2 stream, the speech one at least 3 s.
    files = [os.path.join(d, f) for d, _, fs in os.walk(out) for f in fs if f.endswith(".wma")]
    for f in files:
        info = probe(f)
        duration, least = float(info.get("format", {}).get("duration", 0)), 3 if "/nahravani/" in f else 0.5
        check(wmav2(info) and duration >= least, f"{f[len(out) + 1:]}: wmav2, {duration:.3f} s (at least {least})")
    check(len(files) >= 5, f"{len(files)} recordings left to judge (at least 5)")
    sys.exit(1 if failures else 0)

def facts(name):
    rows = [line.split() for line in open(f"{out}/{name}", encoding="utf-8") if line.strip()]
    return [(f[0], int(f[1]), int(f[2]), int(f[3]), float(f[4])) for f in rows]

def judge(name, rate, channels, bitrate, wall, min_share):
    info = probe(f"{out}/{name}")
    check(wmav2(info), f"{name}: one wmav2 stream")
    if not wmav2(info):
        return 0.0
    s = info["streams"][0]
    check(s.get("sample_rate") == str(rate) and s.get("channels") == channels,
          f"{name}: {s.get('sample_rate')} Hz x {s.get('channels')} is the profile's {rate} Hz x {channels}")
    br = int(s.get("bit_rate") or info.get("format", {}).get("bit_rate") or 0)
    check(abs(br - bitrate) <= 0.05 * bitrate + 1000, f"{name}: bit rate {br} near the profile's {bitrate}")
    duration = float(info.get("format", {}).get("duration", 0))
    decoded = len(decode(f"{out}/{name}", 8000)) / 8000
    check(duration >= min_share * wall and duration <= 1.1 * wall,
          f"{name}: {duration:.3f} s ({decoded:.3f} s decoded) of {wall:.3f} s recorded")
    return duration

def envelope(samples, rate, ms=10):
    n = rate * ms // 1000
    return [math.sqrt(sum(x * x for x in samples[i:i + n]) / n) for i in range(0, len(samples) - n + 1, n)]

def best_correlation(short, long):
    m = len(short)
    ms = sum(short) / m
    a = [x - ms for x in short]
    na = math.sqrt(sum(x * x for x in a)) or 1.0
    best = -1.0
    for k in range(0, len(long) - m + 1, 2):
        seg = long[k:k + m]
        mb = sum(seg) / m
        nb = math.sqrt(sum((y - mb) ** 2 for y in seg)) or 1.0
        best = max(best, sum(x * (y - mb) for x, y in zip(a, seg)) / (na * nb))
    return best

def tone_share(pcm, f=440, rate=8000):
    # Share of the signal's energy at 440 Hz (Goertzel over the whole file).
    w = 2 * math.cos(2 * math.pi * f / rate)
    s1 = s2 = 0.0
    for x in pcm:
        s1, s2 = x + w * s1 - s2, s1
    return (s1 * s1 + s2 * s2 - w * s1 * s2) / (sum(x * x for x in pcm) * len(pcm) / 2 or 1.0)

# 5 s of speech: parameters, duration within 10 % of the recording time, sound.
(name, rate, ch, br, wall), = facts("speech.txt")
print(f"     speech: wall clock {wall:.3f} s, file {judge(name, rate, ch, br, wall, 0.9):.3f} s")
got, ref = decode(f"{out}/{name}", 8000), decode(f"{tmp}/loop.wav", 8000)
peak = max((abs(x) for x in got), default=0)
check(peak > 3000, f"speech.wma is not silence (peak {peak})")
e_got, e_ref = envelope(got, 8000), envelope(ref, 8000)
check(len(e_got) > 100 and len(e_ref) >= len(e_got) and best_correlation(e_got, e_ref) > 0.6,
      "speech.wma correlates with the speech played in (above 0.6)")

# Every profile, and the .prx one: short files, their own parameters.
for row in facts("profiles.txt"):
    judge(*row, 0.3)
seen = {r[0] for r in facts("profiles.txt")}
check(len(seen) == 8, f"8 profile recordings ({len(seen)})")
for name in ("po_chybe1.wma", "po_chybe2.wma"):
    check(wmav2(probe(f"{out}/{name}")), f"{name} after failed starts is wmav2")

# Two devices: the first records the speech, the second the tone.
shares = []
for row in facts("pair.txt"):
    judge(*row, 0.3)
    pcm = decode(f"{out}/{row[0]}", 8000)
    shares.append(tone_share(pcm[800:]) if len(pcm) > 1600 else 0.0)
print(f"     440 Hz share: {', '.join(f'{s:.3f}' for s in shares)}")
check(len(shares) == 2 and shares[0] < 0.1 and shares[1] > 0.5,
      "each device name recorded its own sink (speech, then the tone)")
sys.exit(1 if failures else 0)
PY
