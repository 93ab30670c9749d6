#!/usr/bin/env bash
# Whole-process comparison of a full decode of a 4,000,000-frame 16-bit stereo WAV at 13021 Hz:
#   melo-dsu inspect          (this program)
#   sox ... -e unsigned -b 8  (the conversion a user would otherwise run)
#   cat in.wav > /dev/null    (the floor: reading the file)
# Needs a release build (cmake --preset release && cmake --build --preset release), sox and
# hyperfine. Prints the three medians in milliseconds.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/compare.sh
sox -r 13021 -n -r 13021 -b 16 -c 2 "$work/in.wav" synth 4000000s sine 440 sine 660 vol 0.8
cat "$work/in.wav" > /dev/null # into the page cache
[ "$(stat -c %s "$work/in.wav")" -eq $((44 + 16000000)) ] || { echo "unexpected test file size" >&2; exit 1; }

compare 50 melo-dsu "$melo_dsu inspect $work/in.wav" \
  sox "sox -D $work/in.wav -t raw -e unsigned -b 8 $work/out.raw remix 1" \
  cat "cat $work/in.wav"
