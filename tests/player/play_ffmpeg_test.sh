#!/usr/bin/env bash
# Plays a .wma made by ffmpeg (-c:a wmav2) through the player's playback graph
# under Wine, into the run's sound server (the test fails without one).
# usage: play_ffmpeg_test.sh <player_tests.exe> <winrun>
set -uo pipefail

exe=$1
winrun=$2
tmp=$(mktemp -d /tmp/tonbar-player.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

wma=$tmp/ffmpeg.wma
ffmpeg -v error -f lavfi -i "sine=frequency=523:sample_rate=44100:duration=5" -ac 2 \
  -c:a wmav2 -b:a 128k "$wma" || { echo "FAIL: ffmpeg could not write $wma"; exit 1; }
seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$wma")
echo "ffmpeg file: $seconds s"

TONBAR_PLAYER_FFMPEG_WMA="Z:${wma//\//\\}" TONBAR_PLAYER_FFMPEG_SECONDS=$seconds \
  "$winrun" "$exe" --gtest_color=no --gtest_also_run_disabled_tests \
  --gtest_filter='Playback.DISABLED_FfmpegFile*'
