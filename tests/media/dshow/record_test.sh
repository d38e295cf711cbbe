#!/usr/bin/env bash
# Records speech through the built-in capture filter and ASF writer under
# Wine from a PulseAudio virtual microphone, then judges the files on the
# Linux side with ffprobe/ffmpeg: codec, duration against the wall clock,
# and that the decoded sound is the speech that was played in.
#
# usage: record_test.sh <media_dshow_tests.exe> <winrun>
# Exit 77 (skipped) only when there is no pulseaudio binary.
set -uo pipefail

exe=$1
winrun=$2

. "$(dirname "$0")/../../../scripts/lib/pulse.sh"
tonbar_recording_test record pactl paplay espeak-ng sox ffprobe ffmpeg python3 wine

espeak-ng -v cs -w "$tmp/speech.wav" \
  "Dobrý den, toto je zkouška nahrávání zvuku do souboru. Jedna, dva, tři, čtyři, pět, šest, sedm, osm,
   devět, deset. Nahráváme z virtuálního mikrofonu a posloucháme, zda je všechno v pořádku. Konec zkoušky." \
  || { echo "FAIL: espeak-ng"; exit 1; }
sox "$tmp/speech.wav" -r 44100 -c 2 "$tmp/speech44.wav"
# Long enough for every recording of the run; the speech test comes first.
sox "$tmp/speech44.wav" "$tmp/speech44.wav" "$tmp/speech44.wav" "$tmp/loop.wav"

# Create the prefix before the speech starts: that takes longer than the speech.
"$winrun" "$exe" --gtest_list_tests >/dev/null 2>&1

paplay -d mic "$tmp/loop.wav" &
tonbar_kill_at_exit="$tonbar_kill_at_exit $!"
sleep 0.5
TONBAR_RECORD_DIR="Z:${tmp//\//\\}\\out" "$winrun" "$exe" --gtest_color=no \
  --gtest_also_run_disabled_tests --gtest_filter='Recording.*'
rc=$?
[ $rc -eq 0 ] || { echo "FAIL: the recording tests failed ($rc)"; exit 1; }

python3 - "$tmp" <<'EOF'
import array, json, math, subprocess, sys

tmp = sys.argv[1]
failures = []

def check(cond, what):
    print(("ok   " if cond else "FAIL ") + what)
    if not cond:
        failures.append(what)

def probe(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json", path],
                         capture_output=True, text=True)
    return json.loads(out.stdout or "{}")

def decode(path, rate):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-ac", "1", "-ar", str(rate), "-"],
                         capture_output=True).stdout
    a = array.array("h")
    a.frombytes(raw[: len(raw) // 2 * 2])
    return a

def envelope(samples, rate, ms=10):
    n = rate * ms // 1000
    env = []
    for i in range(0, len(samples) - n + 1, n):
        s = sum(x * x for x in samples[i:i + n])
        env.append(math.sqrt(s / n))
    return env

def best_correlation(short, long):
    # Normalised cross-correlation of the recording's envelope against every
    # placement within the speech's envelope.
    m = len(short)
    ms = sum(short) / m
    a = [x - ms for x in short]
    na = math.sqrt(sum(x * x for x in a)) or 1.0
    best, lag = -1.0, 0
    for k in range(0, len(long) - m + 1):
        seg = long[k:k + m]
        mb = sum(seg) / m
        b = [x - mb for x in seg]
        nb = math.sqrt(sum(x * x for x in b)) or 1.0
        c = sum(x * y for x, y in zip(a, b)) / (na * nb)
        if c > best:
            best, lag = c, k
    return best, lag

# Speech from the microphone.
rec = f"{tmp}/out/speech.wma"
info = probe(rec)
streams = info.get("streams", [])
check(len(streams) == 1 and streams[0].get("codec_name") == "wmav2", "speech.wma is one wmav2 stream")
if streams:
    check(streams[0].get("sample_rate") == "44100" and streams[0].get("channels") == 2, "44100 Hz stereo")
wall = int(open(f"{tmp}/out/speech.wall").read()) / 1000.0
duration = float(info.get("format", {}).get("duration", 0))
print(f"     wall clock {wall:.3f} s, file {duration:.3f} s")
check(abs(duration - wall) <= 0.05 * wall, "duration within 5 % of the wall-clock recording time")

rate = 8000
got = decode(rec, rate)
ref = decode(f"{tmp}/speech44.wav", rate)
peak = max((abs(x) for x in got), default=0)
print(f"     decoded {len(got) / rate:.3f} s, peak {peak}")
check(peak > 3000, "the recording is not silence")
e_got, e_ref = envelope(got, rate), envelope(ref, rate)
if len(e_got) > 50 and len(e_ref) >= len(e_got):
    corr, lag = best_correlation(e_got, e_ref)
    print(f"     envelope correlation {corr:.3f} at {lag * 10} ms into the speech")
    check(corr > 0.6, "the recording correlates with the speech played in")
else:
    check(False, "enough decoded sound to correlate")

# Profiles below 44100 Hz from the same microphone: the file lasts as long
# as the recording did, and both ends of the connection name the same format.
for name, want_rate, want_ch in (("low22m", "22050", 1), ("low32s", "32000", 2)):
    path = f"{tmp}/out/{name}.wma"
    info = probe(path)
    streams = info.get("streams", [])
    check(len(streams) == 1 and streams[0].get("codec_name") == "wmav2"
          and streams[0].get("sample_rate") == want_rate and streams[0].get("channels") == want_ch,
          f"{name}.wma is wmav2 {want_rate} Hz, {want_ch} channel(s)")
    wall = int(open(f"{tmp}/out/{name}.wall").read()) / 1000.0
    duration = float(info.get("format", {}).get("duration", 0))
    types = open(f"{tmp}/out/{name}.type").read().split("\n")
    print(f"     {name}: wall clock {wall:.3f} s, file {duration:.3f} s, connection {types[0]} / {types[1]}")
    check(types[0] == types[1], f"{name}: capture and writer pins agree on the connection type")
    check(abs(duration - wall) <= 0.05 * wall, f"{name}: duration within 5 % of the wall-clock recording time")
    decoded = decode(path, 8000)
    check(max((abs(x) for x in decoded), default=0) > 3000, f"{name}: the recording is not silence")

# Tone converted from 22050 Hz mono into a 32000 Hz stereo profile.
tone = f"{tmp}/out/tone.wma"
info = probe(tone)
streams = info.get("streams", [])
check(len(streams) == 1 and streams[0].get("codec_name") == "wmav2" and streams[0].get("sample_rate") == "32000"
      and streams[0].get("channels") == 2, "tone.wma is wmav2 32000 Hz stereo")
frames = int(open(f"{tmp}/out/tone.frames").read())
duration = float(info.get("format", {}).get("duration", 0))
check(abs(duration - frames / 22050) < 0.1, f"tone duration {duration:.3f} s matches {frames / 22050:.3f} s delivered")
pcm = decode(tone, 8000)[800:-800]
def power(f):
    w = 2 * math.cos(2 * math.pi * f / 8000)
    s1 = s2 = 0.0
    for x in pcm:
        s1, s2 = x + w * s1 - s2, s1
    return s1 * s1 + s2 * s2 - w * s1 * s2
p440, p1000 = power(440), power(1000)
check(p440 > 100 * max(p1000, 1.0), "the tone is 440 Hz after conversion")

sys.exit(1 if failures else 0)
EOF
