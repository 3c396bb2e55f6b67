#!/usr/bin/env bash
# Measures the desktop program's start-up under a real X server: the time from launch until the
# window "Wave file Info" is mapped and its button drawn, and the process's peak memory.
# Starts Xvfb and a window manager of its own when no display is set.
# Usage: bench/gui_startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-10}
"$(dirname "$0")/../tools/install-deps" bench

if [[ -z "${DISPLAY:-}" ]]; then
  export DISPLAY=:97
  Xvfb "$DISPLAY" -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null || true' EXIT
  sleep 1
fi

# The button is drawn once the pixel at its middle is no longer the window's background.
button_drawn() {
  local id=$1 colour
  colour=$(import -window "$id" -crop 1x1+120+56 txt:- 2>/dev/null | tail -1 | awk '{print $3}')
  [[ -n "$colour" && "$colour" != "$2" ]]
}

total_ms=0
for ((run = 1; run <= runs; run++)); do
  stats=$(mktemp)
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$stats" "$build/pelorin" 2>/dev/null &
  runner=$!  # time, whose one child is the pelorin this run started
  id=
  until id=$(xdotool search --onlyvisible --name '^Wave file Info$' 2>/dev/null | head -1) && [[ -n "$id" ]]; do
    sleep 0.005
  done
  background=$(import -window "$id" -crop 1x1+5+5 txt:- 2>/dev/null | tail -1 | awk '{print $3}')
  until button_drawn "$id" "$background"; do sleep 0.005; done
  elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
  total_ms=$((total_ms + elapsed_ms))
  kill -TERM "$(ps -o pid= --ppid "$runner")" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  peak_kib=$(grep -E '^[0-9]+$' "$stats" | tail -1)
  rm -f "$stats"
  echo "run $run: window drawn after ${elapsed_ms} ms, peak memory ${peak_kib} KiB"
done
echo "mean time to a drawn window: $((total_ms / runs)) ms over $runs runs"
