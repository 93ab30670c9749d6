#!/usr/bin/env bash
# How long the main window takes to close: from the window manager's close request (Alt+F4)
# until the window is gone and until the process has ended, on the demo project, without and
# with the listen mode, and in the listen mode while sound A's listen button is held, RUNS
# times each (default 5). Runs the build's window (BUILD, default
# build/release) on a virtual display of its own, number DISPLAY_NUMBER, with a window manager,
# and a PulseAudio server of its own with a null sink. Needs Xvfb, openbox, xdotool, pulseaudio.
#
#   bench/close_time.sh DISPLAY_NUMBER [RUNS] [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
display=":${1:?display number}"
runs=${2:-5}
bin=${3:-build/release}/bin
[ -x "$bin/melo-sound-manager" ] || { echo "build the window first ($bin)" >&2; exit 1; }

work=$(mktemp -d /tmp/melo-close-XXXXXX)
export XDG_RUNTIME_DIR=$work/runtime DISPLAY=$display
mkdir -m 700 "$XDG_RUNTIME_DIR"
pids=()
stop() {
  if [ -n "${pulse:-}" ]; then
    kill "$pulse" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pulse" 2>/dev/null || break; sleep 0.1; done
  fi
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap stop EXIT
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
sleep 1
openbox >/dev/null 2>&1 & pids+=($!)
pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-level=error \
  -L module-native-protocol-unix -L "module-null-sink sink_name=melo_null" 2>/dev/null
pulse=$(cat "$XDG_RUNTIME_DIR/pulse/pid")
sleep 2.5 # the null sink's first stream starts late

cp -r examples/demo "$work/demo"
now() { date +%s%N; }

# One start and close, with sound A's listen button held first when HOLD is 1; prints
# "WINDOW_MS PROCESS_MS".
close_once() {
  local app=$1 hold=$2
  "$app/melo-sound-manager" >/dev/null 2>&1 &
  local p=$! w=
  for _ in $(seq 100); do
    w=$(xdotool search --onlyvisible --pid "$p" --name "MELO Sound" 2>/dev/null | head -1) && [ -n "$w" ] && break
    sleep 0.1
  done
  sleep 1
  xdotool windowactivate --sync "$w" >/dev/null 2>&1
  if [ "$hold" = 1 ]; then
    # The listen button of sound A (the designed layout's place, in the window's own pixels).
    xdotool mousemove --window "$w" 356 68 mousedown 1
    sleep 0.5
  fi
  local t0 gone= t1
  t0=$(now)
  xdotool key alt+F4
  while kill -0 "$p" 2>/dev/null; do
    if [ -z "$gone" ] && ! xdotool search --onlyvisible --pid "$p" --name "MELO Sound" >/dev/null 2>&1; then
      gone=$(now)
    fi
    sleep 0.002
  done
  t1=$(now)
  wait "$p" || true
  [ "$hold" = 1 ] && xdotool mouseup 1
  echo "$(( (${gone:-$t1} - t0) / 1000000 )) $(( (t1 - t0) / 1000000 ))"
}

for case in 0 1 held; do
  listen=${case/held/1} hold=0
  [ "$case" = held ] && hold=1
  app=$work/app$case
  mkdir "$app"
  cp "$bin"/melo-sound-manager "$bin"/*.wav "$app"/
  printf '[VARS]\r\nlisten=%s\r\n[DIRS]\r\nprojfiledir=%s\r\nprojname=demo.DSP\r\n' \
    "$listen" "$work/demo" >"$app/melo-sound-manager.INI"
  results=$(for _ in $(seq "$runs"); do close_once "$app" "$hold"; done)
  label="listen=$listen"
  [ "$hold" = 1 ] && label="listen=1, button held"
  echo "$label: window gone $(awk '{print $1}' <<<"$results" | sort -n | paste -sd' ') ms;" \
    "process ended $(awk '{print $2}' <<<"$results" | sort -n | paste -sd' ') ms"
done
