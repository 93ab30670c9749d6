#!/usr/bin/env bash
# melo-dsu.exe under Wine against the Linux melo-dsu, on the same inputs made here: `convert`
# of a FLAC, an Ogg Vorbis, an Opus and an MP3 file writes the same bytes, `loop` on an engine
# recording finds the same loop and writes the same three parts, and `inspect` reports the
# same loudness and true peak. The libraries behind the Windows build are compiled from the
# same Debian sources as the Linux ones; this shows they also compute the same.
#
# Usage: windows_matches_linux.sh WINE MELO_DSU_EXE LINUX_MELO_DSU
# Without a Linux melo-dsu (the debug preset builds one) the test is skipped (77), unless
# MELO_REQUIRE_LINUX_DSU is set.
set -euo pipefail
wine=$1
exe=$2
linux=$3

if [ ! -x "$linux" ]; then
    echo "no Linux melo-dsu at $linux: build the debug preset first" >&2
    [ -z "${MELO_REQUIRE_LINUX_DSU:-}" ] || exit 1
    exit 77
fi
work=$(mktemp -d /tmp/melo-windows-linux-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# Puts input files into the folders of a comparison, one for each program.
given() {
    local name=$1
    shift
    mkdir -p "linux/$name" "windows/$name"
    cp "$@" "linux/$name/"
    cp "$@" "windows/$name/"
}

# Runs one command with both programs, each in its folder (relative names, so both print the
# same text), and compares what they print and their exit status.
both() {
    local name=$1
    shift
    local linux_status=0 windows_status=0
    (cd "linux/$name" && "$linux" "$@" >../../"$name.linux.txt" 2>&1) || linux_status=$?
    # The Windows program joins folder and name with a backslash.
    (cd "windows/$name" && "$wine" "$exe" "$@" 2>&1 | tr -d '\r' | tr '\\' / >../../"$name.windows.txt") ||
        windows_status=$?
    [ "$linux_status" -eq 0 ] || fail "$name: Linux melo-dsu exit status $linux_status: $(cat "$name.linux.txt")"
    [ "$windows_status" -eq 0 ] || fail "$name: melo-dsu.exe exit status $windows_status"
    diff -u "$name.linux.txt" "$name.windows.txt" >&2 || fail "$name: the two programs print different texts"
}

# Compares a file both programs wrote, byte for byte.
same_file() {
    local name=$1 file=$2
    if [ ! -f "linux/$name/$file" ] || [ ! -f "windows/$name/$file" ]; then
        fail "$name: $file not written by both"
    elif ! cmp "linux/$name/$file" "windows/$name/$file" >&2; then
        fail "$name: $file differs"
    fi
}

# A plucked chord with a tremolo, stereo, 48 kHz (a rate Opus takes), encoded by Debian's
# libsndfile into each compressed format. (sox -R: the same noise on every run.)
sox -R -n -r 48000 -c 2 -b 16 chord.wav synth 1.5 pluck C3 pluck E3 tremolo 5 40 fade 0.05 1.5 0.2
for ext in flac ogg opus mp3; do
    sndfile-convert chord.wav "chord.$ext"
    given "convert_$ext" "chord.$ext"
    both "convert_$ext" convert "chord.$ext" --out chord.wav
    same_file "convert_$ext" chord.wav
done
# Loudness and true peak of a converted file, as both measure it.
cp linux/convert_ogg/chord.wav chord8.wav
given inspect chord8.wav
both inspect inspect chord8.wav
grep -q '^Lautheit -[0-9.]* LUFS, True Peak -\?[0-9.]* dBTP$' inspect.windows.txt ||
    fail "melo-dsu.exe inspect printed no loudness and true peak: $(cat inspect.windows.txt)"

# An engine: a sawtooth with its octave and sub-octave, a little noise, the firing rhythm as a
# tremolo; mono, 44.1 kHz, faded in and out.
sox -R -n -r 44100 -c 1 -b 16 engine.wav synth 4 sawtooth 46 sine 92 sine 23 pinknoise \
    remix 1v0.5,2v0.3,3v0.3,4v0.04 lowpass 1800 tremolo 11.5 35 fade 0.3 4 0.5 norm -3
given loop engine.wav
mkdir linux/loop/parts windows/loop/parts
both loop loop engine.wav --into parts --name motor
grep -q '^Schleife: ' loop.windows.txt || fail "melo-dsu.exe loop found no loop: $(cat loop.windows.txt)"
for part in anfang loop ende; do
    same_file loop "parts/motor_$part.wav"
done

[ "$failures" -eq 0 ] || exit 1
echo "melo-dsu.exe and the Linux melo-dsu agree: convert (FLAC, Ogg Vorbis, Opus, MP3), inspect, loop"
