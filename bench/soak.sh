#!/usr/bin/env bash
# A soak: the console runs connected to the simulator for MINUTES while the simulator meets every
# kind of fault at least once a minute (a random fault plan: unplug, freeze, line noise, a reset
# into the bootloader, slow answers), recording everything, reconnecting by itself, and nobody
# touching a control. At the end the console is closed by SIGTERM and one table compares what
# the simulator did and counted (its --stats file) with what the console logged and recorded:
#   - faults injected, and the link ends, not-responding and bootloader states the console logged
#     for them, each with its delay, and how long each return took to be connected again;
#   - messages the simulator sent while connected against rows recorded (a message in flight as
#     a link ends may be lost: at most one per link end);
#   - requests off 0 the simulator received (must be 0);
#   - resident memory and open descriptors at minute 1 and at the end, and the growth per hour;
#   - average CPU of the console from minute 1 to the end;
#   - crashes, hangs (no exit within 15 s of SIGTERM), sanitizer reports.
# Exits 1 on any loss beyond the allowance, any request off 0, a crash, a hang or a sanitizer
# report; 2 for bad arguments.
#
#   bench/soak.sh [MINUTES] [BUILD]     (default 10 minutes, build/release; builds what it needs)
# ORVANE_SOAK_SEED picks the fault plan (default 1); ORVANE_SOAK_KEEP=1 keeps the scratch folder
# (logs, stats, recording) and prints where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
build=${2:-build/release}
if ! [[ "$minutes" =~ ^[0-9]+$ ]] || [ "$minutes" -lt 1 ]; then
  echo "usage: bench/soak.sh [MINUTES] [BUILD]  (MINUTES a whole number from 1)" >&2
  exit 2
fi
seed=${ORVANE_SOAK_SEED:-1}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "${ORVANE_JOBS:-2}" --target orvane-console orvane-sim >/dev/null
console="$build/src/qt/orvane-console"
sim="$build/tools/orvane-sim"

scratch=$(mktemp -d -t orvane-soak.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ "${ORVANE_SOAK_KEEP:-}" = 1 ]; then echo "soak: kept $scratch" >&2; else rm -rf "$scratch"; fi
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || { echo "soak: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$scratch/display")"
# No remembered layout or settings: the reconnecting comes from --auto-reconnect alone.
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

"$sim" --link "$scratch/ttyACM0" --faults random --seed "$seed" --stats "$scratch/stats.json" \
  >"$scratch/sim.out" 2>"$scratch/sim.err" &
sim_pid=$!
pids+=("$sim_pid")
for _ in $(seq 100); do [ -s "$scratch/sim.out" ] && break; sleep 0.05; done
[ -s "$scratch/sim.out" ] || { cat "$scratch/sim.err" >&2; echo "soak: orvane-sim did not start" >&2; exit 1; }

# Every log line with its UTC time, so that it can be set beside the simulator's.
TZ=UTC QT_MESSAGE_PATTERN='%{time yyyy-MM-ddThh:mm:ss.zzz} %{category}: %{message}' \
  "$console" --device-dir "$scratch" --connect "$scratch/ttyACM0" --record "$scratch/recording.csv" \
  --auto-reconnect >"$scratch/console.out" 2>"$scratch/console.log" &
app=$!
pids+=("$app")

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
fds() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 | wc -l; }
hz=$(getconf CLK_TCK)

echo "soak: $minutes min, fault plan seed $seed, console pid $app" >&2
start=$(date +%s)
crashed=0
rss1="" fds1="" ticks1="" time1=""
sampled=0
while [ $(( $(date +%s) - start )) -lt $((minutes * 60)) ]; do
  sleep 5
  if ! kill -0 "$app" 2>/dev/null; then crashed=1; break; fi
  elapsed=$(( $(date +%s) - start ))
  if [ -z "$rss1" ] && [ "$elapsed" -ge 60 ]; then
    rss1=$(rss "$app"); fds1=$(fds "$app"); ticks1=$(ticks "$app"); time1=$(date +%s.%N)
  fi
  # Resident memory (kB) and descriptors once a minute, for the report's trend.
  if [ "$elapsed" -ge $(( (sampled + 1) * 60 )) ]; then
    sampled=$((sampled + 1))
    echo "$sampled $(rss "$app") $(fds "$app")" >>"$scratch/samples"
  fi
done
rss2="" fds2="" ticks2="" time2=""
hung=0
status=""
if [ "$crashed" = 0 ]; then
  rss2=$(rss "$app"); fds2=$(fds "$app"); ticks2=$(ticks "$app"); time2=$(date +%s.%N)
  kill -TERM "$app"
  for _ in $(seq 150); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then
    hung=1
    kill -KILL "$app" 2>/dev/null || true
  fi
fi
set +e
wait "$app"
status=$?
set -e
[ "$hung" = 1 ] || [ "$status" = 0 ] || crashed=1
kill -TERM "$sim_pid"
wait "$sim_pid" || true

export SOAK_DIR="$scratch" SOAK_MINUTES="$minutes" SOAK_CRASHED="$crashed" SOAK_HUNG="$hung" SOAK_STATUS="$status"
export SOAK_RSS1="$rss1" SOAK_RSS2="$rss2" SOAK_FDS1="$fds1" SOAK_FDS2="$fds2" SOAK_HZ="$hz"
export SOAK_TICKS1="$ticks1" SOAK_TICKS2="$ticks2" SOAK_TIME1="$time1" SOAK_TIME2="$time2"
python3 bench/soak_report.py
