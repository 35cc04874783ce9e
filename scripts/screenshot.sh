#!/usr/bin/env bash
# Renders the main window, connected to the simulated device, into a PNG (docs/screenshot.png
# unless a file is given): starts orvane-sim with its link in a scratch directory, runs the
# console under Xvfb with that directory as its device directory, lets it connect, grabs the
# window after a few seconds, and cleans up.
#
#   scripts/screenshot.sh [output.png]
#
# Environment: ORVANE_BUILD_DIR (default build/release), ORVANE_JOBS (default 2),
# ORVANE_SCREENSHOT_DELAY (seconds before the grab, default 5), ORVANE_SIM_ARGS (extra
# arguments for orvane-sim).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${ORVANE_BUILD_DIR:-${ORVANE_BUILD_ROOT:-build}/release}
output=${1:-docs/screenshot.png}
console="$build/src/qt/orvane-console"
sim="$build/tools/orvane-sim"

if [ ! -x "$console" ] || [ ! -x "$sim" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "${ORVANE_JOBS:-2}" --target orvane-console orvane-sim

scratch=$(mktemp -d -t orvane-screenshot.XXXXXX)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# shellcheck disable=SC2086
"$sim" --link "$scratch/ttyACM0" ${ORVANE_SIM_ARGS:-} >"$scratch/sim.out" 2>"$scratch/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
  [ -s "$scratch/sim.out" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$scratch/sim.err" >&2; echo "screenshot: orvane-sim stopped" >&2; exit 1; }
  sleep 0.05
done
[ -s "$scratch/sim.out" ] || { echo "screenshot: orvane-sim printed no device path" >&2; exit 1; }
echo "screenshot: simulated device on $(head -n 1 "$scratch/sim.out") (link $scratch/ttyACM0)"

mkdir -p "$(dirname "$output")"
output_path=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
ORVANE_DEVICE_DIR="$scratch" \
ORVANE_AUTOCONNECT="$scratch/ttyACM0" \
ORVANE_SCREENSHOT="$output_path" \
ORVANE_SCREENSHOT_DELAY="${ORVANE_SCREENSHOT_DELAY:-5}" \
  xvfb-run -a -s "-screen 0 1280x800x24" "$console"
echo "screenshot: $output"
