#!/usr/bin/env bash
# Press-to-sound latency and drop-outs of the listen playback, as a listener hears them: a
# PulseAudio server of this script's own with a null sink (as scripts/test starts it), a
# recording of its monitor, and bench/listen_latency.cpp pressing a row again and again.
#
#   bench/listen_latency.sh [--busy N] [--presses N] [--hold MS] [--block MS] [BUILD_DIR]
# --busy N   N processes that keep a core busy (yes > /dev/null) beside it
# --presses  how many presses (default 40); --hold: how long each is held (default 0, a click)
# --block    keep the window's thread busy this long in the middle of each hold
# BUILD_DIR  default build/release (cmake --preset release && cmake --build --preset release)
#
# Prints the load average first: figures taken on a machine busy with other work say little.
set -euo pipefail
cd "$(dirname "$0")/.."

busy=0 presses=40 hold=0 block=0 build=build/release
while [ $# -gt 0 ]; do
  case $1 in
    --busy) busy=$2; shift 2 ;;
    --presses) presses=$2; shift 2 ;;
    --hold) hold=$2; shift 2 ;;
    --block) block=$2; shift 2 ;;
    -*) echo "listen_latency.sh: unknown option $1" >&2; exit 2 ;;
    *) build=$1; shift ;;
  esac
done
program=$build/bench/listen_latency
[ -x "$program" ] || { echo "build $build first ($program is missing)" >&2; exit 2; }

runtime=$(mktemp -d /tmp/melo-latency-XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=offscreen
unset PULSE_SERVER
busy_pids=()
finish() {
  for pid in "${busy_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  pulseaudio --kill 2>/dev/null || true # the server of this runtime folder only
  rm -rf "$runtime"
}
trap finish EXIT
pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disallow-exit --log-level=error \
  -L module-native-protocol-unix -L "module-null-sink sink_name=melo_null" 2>/dev/null
for _ in $(seq 50); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl set-default-sink melo_null

for _ in $(seq "$busy"); do
  yes >/dev/null &
  busy_pids+=($!)
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg), $busy busy process(es) beside it, $(nproc) cores"
"$program" "$presses" "$hold" "$block"
