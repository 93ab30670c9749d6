#!/usr/bin/env bash
# Runs a Windows test program under Wine while the build machine's parec records the sound
# server's default monitor (what the test's sound output reached through Wine's audio driver)
# into a file the program reads: MELO_MONITOR_RECORDING, 16-bit mono at 44100 Hz.
# Without a sound server the program runs alone and decides itself (skip or, with
# MELO_REQUIRE_AUDIO, fail).
#
# Usage: wine_recording.sh WINE PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
wine=$1
shift
work=$(mktemp -d /tmp/melo-recording-XXXXXX)
recorder=
cleanup() {
    [ -z "$recorder" ] || kill "$recorder" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
if pactl info >/dev/null 2>&1; then
    parec -d @DEFAULT_MONITOR@ --latency-msec=5 --raw --format=s16le --rate=44100 --channels=1 \
        >"$work/monitor.raw" &
    recorder=$!
    export MELO_MONITOR_RECORDING="Z:${work//\//\\}\\monitor.raw"
fi
"$wine" "$@"
