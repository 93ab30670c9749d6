#!/usr/bin/env bash
# Whole-process comparison on a full-size project (bench/make_full_project.sh), all inputs
# in the page cache:
#   melo-dsu build        (this program: checks, converts, places, writes the .DSU)
#   cat of all inputs     (the floor: reading the same files)
#   sox pipeline          (the same conversion by hand: twelve sox runs, then cat into one file)
# and the window's run from the click to the result (offscreen), all as medians.
# Needs a release build (cmake --preset release && cmake --build --preset release).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/compare.sh
bench/make_full_project.sh "$work"
cat "$work"/* >/dev/null

inputs="$work/full.DS3"
sox_steps=""
for i in $(seq 1 12); do
  inputs="$inputs $work/part$i.wav"
  sox_steps="$sox_steps sox -D $work/part$i.wav -t raw -e unsigned -b 8 $work/part$i.raw remix 1;"
done
raws=$(for i in $(seq 1 12); do printf '%s ' "$work/part$i.raw"; done)

# The sox pipeline is a shell script by nature, so it runs in one.
compare 30 melo-dsu "$melo_dsu build $work/full.DSP" \
  cat "cat $inputs" \
  sox "bash -c '$sox_steps cat $work/full.DS3 $raws > $work/sox.img'"
build/release/bench/bench_gui_run "$work" 21
