#!/usr/bin/env bash
# Whole-process comparison of preparing a 3-minute 44.1 kHz stereo 16-bit recording for the
# module, once as WAV and once as FLAC, in one run:
#   melo-dsu convert IN --loudness --out OUT   (this program: mean of the channels, libsoxr
#                                      very high quality to 13021 Hz, loudness measured and
#                                      matched with libebur128, rounded unsigned 8-bit mono)
#   sox IN -r 13021 -c 1 -b 8 OUT      (the same format with sox's default rate quality and
#                                      its default dither, no loudness)
#   cat IN                             (the floor: reading the file)
# Then the same WAV to 16 bits at the input's own level, in paired runs (each pair side by
# side, so the ratio holds on a loaded machine) against sox at its very high rate quality and
# at its default, with each program's peak memory, minor page faults and read calls:
#   melo-dsu convert IN --bits 16 --out OUT
#   sox IN -r 13021 -c 1 -b 16 OUT rate -v
# Then the peak memory of preparing 15 minutes and one hour of 44.1 kHz stereo FLAC (a short
# sound followed by silence, trimmed): the input is read in blocks, and what is kept is capped
# at the most samples a part may have, so the hour needs no more than the quarter hour.
# Needs a release build (cmake --preset release && cmake --build --preset release), sox and
# hyperfine (strace for the read calls, where it is installed). Prints the medians in
# milliseconds, the paired ratios and the peak memory in KiB. MELO_DSU=PATH measures another
# build of melo-dsu.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/compare.sh
sox -n -r 44100 -b 16 -c 2 "$work/in.wav" synth 180 sine 440 sine 660 vol 0.8
sox "$work/in.wav" "$work/in.flac"
cat "$work/in.wav" "$work/in.flac" > /dev/null # into the page cache

compare 20 melo-wav "$melo_dsu convert $work/in.wav --loudness --out $work/melo.wav" \
  sox-wav "sox $work/in.wav -r 13021 -c 1 -b 8 $work/sox.wav" \
  cat-wav "cat $work/in.wav" \
  melo-flac "$melo_dsu convert $work/in.flac --loudness --out $work/melo.wav" \
  sox-flac "sox $work/in.flac -r 13021 -c 1 -b 8 $work/sox.wav" \
  cat-flac "cat $work/in.flac"

melo16="$melo_dsu convert $work/in.wav --bits 16 --out $work/melo16.wav"
sox16="sox $work/in.wav -r 13021 -c 1 -b 16 $work/sox16.wav"
paired 9 melo-16 "$melo16" sox-v-16 "$sox16 rate -v"
paired 9 melo-16 "$melo16" sox-16 "$sox16"
for command in "$melo16" "$sox16 rate -v"; do
  /usr/bin/time -f "%M KiB peak memory, %R minor page faults: ${command%% *} 16 bit" $command >/dev/null
  if command -v strace >/dev/null; then
    strace -c -e trace=read -o "$work/reads" $command >/dev/null
    awk -v c="${command%% *}" '$NF == "read" { print $4 " read calls: " c " 16 bit" }' "$work/reads"
  fi
done

sox -n -r 44100 -b 16 -c 2 "$work/quarter.flac" synth 2 sine 440 pad 0 898
sox -n -r 44100 -b 16 -c 2 "$work/hour.flac" synth 2 sine 440 pad 0 3598
for input in quarter.flac hour.flac; do
  /usr/bin/time -f "peak memory %M KiB: melo-dsu convert --trim $input" \
    "$melo_dsu" convert "$work/$input" --out "$work/melo.wav" --trim > /dev/null
done
