#!/usr/bin/env bash
# The quality of the module's 8-bit samples, measured on recordings: a spoken sentence
# (espeak-ng), the same with a faint noise floor below half a step, and a -30 dBFS 440 Hz tone.
# Each is prepared as a 16-bit master and as 8 bits with rounding and with TPDF dither; the
# image build's truncation of the master stands beside them. Prints the SNR against the
# master, the mean error in steps, the level and the changes of the samples in quiet
# stretches, and for the tone the strongest other spectral line and the median noise floor.
# Needs espeak-ng and sox (measurement only) and a built melo-dsu.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/release/bin/melo-dsu
[ -x "$bin" ] || bin=build/debug/bin/melo-dsu
[ -x "$bin" ] || { echo "build melo-dsu first" >&2; exit 1; }

work=$(mktemp -d /tmp/melo-quality-XXXXXX)
trap 'rm -rf "$work"' EXIT
espeak-ng -v de -s 150 -w "$work/speech.wav" \
  "Achtung an Gleis drei. Der Zug nach Hamburg fährt ein. Bitte Vorsicht an der Bahnsteigkante. Zurückbleiben bitte."
seconds=$(soxi -D "$work/speech.wav")
sox -n -r 22050 -c 1 -b 32 -e floating-point "$work/noise.wav" synth "$seconds" whitenoise vol 0.003
sox -m "$work/speech.wav" "$work/noise.wav" -b 32 -e floating-point "$work/noisy.wav"
sox -n -r 44100 -c 1 -b 32 -e floating-point "$work/tone.wav" synth 20 sine 440 vol 0.031623

for input in speech noisy tone; do
  "$bin" convert "$work/$input.wav" --bits 16 --out "$work/${input}16.wav" > /dev/null
  "$bin" convert "$work/$input.wav" --out "$work/${input}8r.wav" > /dev/null
  "$bin" convert "$work/$input.wav" --dither tpdf --out "$work/${input}8t.wav" > /dev/null
  tone=()
  [ "$input" = tone ] && tone=(--tone 440)
  echo "== $input"
  /usr/bin/python3 bench/quantize_quality.py "$work/${input}16.wav" "${tone[@]}" truncation= \
    rounding="$work/${input}8r.wav" tpdf="$work/${input}8t.wav"
done
