#!/usr/bin/env bash
# Measures the desktop console as a user runs it, under Xvfb beside orvane-sim:
#   - time from start to the first painted main window (five starts),
#   - resident memory after it has run connected for a while,
#   - CPU use over 10 s connected, with the telemetry unchanged (a silent device) and with it
#     changing (the simulator reporting 100 messages a second), with the panels closed and with
#     Log, Traffic and Plots open,
#   - with ORVANE_MEASURE_LONG=1, resident memory after 1, 2, 5 and 10 minutes connected with the
#     Traffic panel open.
# Each console runs with HOME in a scratch directory, so no remembered layout interferes, on an
# Xvfb of the script's own; the script measures only the consoles it started and leaves nothing
# running. Each CPU figure is followed by the CPU of each of the console's threads.
#
#   bench/measure_console.sh [build-dir]      (default build/release; builds what it needs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target orvane-console orvane-sim >/dev/null
console="$build/src/qt/orvane-console"
sim="$build/tools/orvane-sim"
scratch=$(mktemp -d -t orvane-measure.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# One X server of our own for the whole run, on a display it picks itself: each console below
# is started directly, so $! is the console this script measures and nothing else is.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$scratch/display")"
# No remembered window layout or settings from the user's own runs.
export HOME="$scratch"

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# "TID NAME TICKS" for each thread of process $1 (the name may hold spaces; the fields after
# the parenthesis are counted from its end).
thread_ticks() {
  local task
  for task in /proc/"$1"/task/*; do
    sed -E 's/^([0-9]+) \((.*)\) (.*)$/\1\t\2\t\3/' "$task/stat" 2>/dev/null |
      awk -F'\t' '{ split($3, f, " "); printf "%s\t%s\t%d\n", $1, $2, f[12] + f[13] }'
  done
}
hz=$(getconf CLK_TCK)

if [ -z "${ORVANE_MEASURE_SKIP_STARTUP:-}" ]; then
echo "== start-up (ms from main() to the first paint of the main window)"
for run in 1 2 3 4 5; do
  ORVANE_DEVICE_DIR="$scratch" ORVANE_REPORT_STARTUP=1 ORVANE_SCREENSHOT="$scratch/shot.png" ORVANE_SCREENSHOT_DELAY=1 \
    "$console" 2>&1 | sed -n 's/.*first painted \([0-9]*\) ms.*/\1/p'
done | paste -sd' '
fi

# measure LABEL [sim options...]; ORVANE_PANELS (log,traffic,plots) picks the panels shown.
measure() {
  local label=$1; shift
  "$sim" --link "$scratch/ttyACM0" "$@" >"$scratch/sim.out" 2>/dev/null &
  local sim_pid=$!
  pids+=("$sim_pid")
  for _ in $(seq 100); do [ -s "$scratch/sim.out" ] && break; sleep 0.05; done
  ORVANE_PANELS="${ORVANE_PANELS:-}" ORVANE_DEVICE_DIR="$scratch" ORVANE_AUTOCONNECT="$scratch/ttyACM0" \
    "$console" >/dev/null 2>&1 &
  local app=$!
  pids+=("$app")
  sleep 5
  local t0 c0 t1 c1
  thread_ticks "$app" >"$scratch/threads0"
  t0=$(date +%s.%N); c0=$(ticks "$app")
  sleep 10
  t1=$(date +%s.%N); c1=$(ticks "$app")
  thread_ticks "$app" >"$scratch/threads1"
  local rss
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$app/status")
  awk -v c0="$c0" -v c1="$c1" -v t0="$t0" -v t1="$t1" -v hz="$hz" -v rss="$rss" -v label="$label" \
    'BEGIN { printf "%-36s CPU %5.1f%% of one core   RSS %.1f MB\n", label, 100 * (c1 - c0) / hz / (t1 - t0), rss / 1024 }'
  # Where the time went: each thread that used any, busiest first.
  awk -F'\t' -v hz="$hz" -v pid="$app" -v t="$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')" '
    NR == FNR { before[$1] = $3; next }
    { used = $3 - before[$1]; if (used > 0) printf "    %5.1f%%  %s (%s)\n", 100 * used / hz / t, $2, ($1 == pid ? "main thread" : $1) }' \
    "$scratch/threads0" "$scratch/threads1" | sort -rn
  kill "$app" "$sim_pid" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  rm -f "$scratch/ttyACM0"
}

echo "== connected to orvane-sim, 10 s"
ORVANE_PANELS=none measure "unchanged telemetry (silent device)" --silent
ORVANE_PANELS=none measure "changing, panels closed (100 msg/s)"
ORVANE_PANELS=log,traffic,plots measure "changing, Log+Traffic+Plots open"

# Resident memory over a long connection with the Traffic panel open (its history fills to
# 10,000 entries within two minutes and must then stay flat).
if [ -n "${ORVANE_MEASURE_LONG:-}" ]; then
  echo "== resident memory with Traffic open, 100 messages/s"
  "$sim" --link "$scratch/ttyACM0" >"$scratch/sim.out" 2>/dev/null &
  sim_pid=$!; pids+=("$sim_pid")
  for _ in $(seq 100); do [ -s "$scratch/sim.out" ] && break; sleep 0.05; done
  ORVANE_PANELS=traffic ORVANE_DEVICE_DIR="$scratch" ORVANE_AUTOCONNECT="$scratch/ttyACM0" "$console" >/dev/null 2>&1 &
  app=$!; pids+=("$app")
  started=$(date +%s)
  for minute in 1 2 5 10; do
    while [ $(( $(date +%s) - started )) -lt $((minute * 60)) ]; do sleep 2; done
    printf "after %2d min: RSS %.1f MB\n" "$minute" "$(awk '/VmRSS/ {print $2 / 1024}' "/proc/$app/status")"
  done
fi
