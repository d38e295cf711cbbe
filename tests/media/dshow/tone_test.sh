#!/usr/bin/env bash
# The writer filter's rate and channel conversion judged by ffmpeg: a 440 Hz tone delivered at 22050 Hz
# mono into a 32000 Hz stereo profile must decode as 440 Hz.
# usage: tone_test.sh <media_dshow_tests.exe> <winrun>
set -uo pipefail
exe=$1
winrun=$2
tmp=$(mktemp -d /tmp/tonbar-tone.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

TONBAR_TONE_WMA="Z:${tmp//\//\\}\\tone.wma" "$winrun" "$exe" --gtest_color=no \
  --gtest_filter='AsfWriterFilter.ConvertsOtherPcmToTheProfileFormat' \
  || { echo "FAIL: the tone was not recorded"; exit 1; }
stream=$(ffprobe -v error -show_entries stream=codec_name,sample_rate,channels -of csv=p=0 "$tmp/tone.wma")
[ "$stream" = "wmav2,32000,2" ] || { echo "FAIL: ffprobe says '$stream', not wmav2,32000,2"; exit 1; }
ffmpeg -v error -i "$tmp/tone.wma" -f s16le -ac 1 -ar 8000 "$tmp/tone.raw" || { echo "FAIL: ffmpeg cannot decode"; exit 1; }
python3 - "$tmp/tone.raw" <<'PY'
import array, math, sys
pcm = array.array("h")
pcm.frombytes(open(sys.argv[1], "rb").read())
pcm = pcm[800:-800]
def power(f):  # Goertzel
    w = 2 * math.cos(2 * math.pi * f / 8000)
    s1 = s2 = 0.0
    for x in pcm:
        s1, s2 = x + w * s1 - s2, s1
    return s1 * s1 + s2 * s2 - w * s1 * s2
p440, p1000, p600 = power(440), power(1000), power(600)
print(f"{len(pcm) / 8000:.2f} s decoded; power at 440 Hz {p440:.3g}, 600 Hz {p600:.3g}, 1000 Hz {p1000:.3g}")
sys.exit(0 if len(pcm) > 1600 and p440 > 100 * max(p600, p1000, 1.0) else 1)
PY
