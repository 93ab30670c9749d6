#!/usr/bin/env bash
# Writes a full-size project into DIR: a 64 KiB base file and twelve 16-bit stereo parts at
# 13021 Hz, about 4.1 million frames in all (the image then nearly fills the 32 Mbit memory).
set -euo pipefail
dir=${1:?usage: make_full_project.sh DIR}
mkdir -p "$dir"
head -c 65536 /dev/zero | tr '\0' '\125' >"$dir/full.DS3"
parts=()
for i in $(seq 1 12); do
  # 341,000 frames each: 4,092,000 in all.
  sox -r 13021 -n -r 13021 -b 16 -c 2 "$dir/part$i.wav" synth 341000s sine $((200 + 50 * i)) sine $((300 + 40 * i)) vol 0.7
  parts+=("part$i.wav")
done
{
  printf '[WAVs]\r\n'
  kinds=(Anf Loop End)
  for i in $(seq 0 11); do
    printf 'Sound%d%sWAV=%s\r\n' $((i / 3 + 1)) "${kinds[$((i % 3))]}" "${parts[$i]}"
  done
  printf 'DSDfilename=full.DS3\r\n'
} >"$dir/full.DSP"
