#!/usr/bin/env bash
# The demo: installs what is needed, builds, and opens the console on your display beside a
# simulated device and a local firmware endpoint that announces a newer firmware version.
#
# The simulated device's link lies in a scratch directory, which the console scans instead of
# /dev/: choose it in the Device popup to connect, watch the wheel and the inspector move, steer
# with the sliders (or a gamepad), and press "Check for Update" for the update path. Closing the
# window ends the demo and stops everything it started.
#
# Environment: ORVANE_BUILD_DIR (default build/release), ORVANE_JOBS (default 2),
# ORVANE_SIM_ARGS (extra arguments for orvane-sim, for example --flip-bit-after-write to see a
# failed update), ORVANE_DEMO_FIRMWARE_VERSION (the version the local endpoint announces).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${ORVANE_BUILD_DIR:-${ORVANE_BUILD_ROOT:-build}/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(orvane-console orvane-sim)
[ -d tools/orvane-firmware-server ] && targets+=(orvane-firmware-server)
cmake --build "$build" -j "${ORVANE_JOBS:-2}" --target "${targets[@]}"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: no display (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
  echo "demo: run it from a desktop session, or use scripts/screenshot.sh for a picture under Xvfb." >&2
  exit 1
fi

scratch=$(mktemp -d -t orvane-demo.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Waits for the first line of a started helper's output; prints it.
first_line() {
  local file=$1 pid=$2 name=$3
  for _ in $(seq 100); do
    [ -s "$file" ] && { head -n 1 "$file"; return 0; }
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "demo: $name did not start" >&2
  return 1
}

# 1. The simulated device, linked into the scratch directory as a ttyACM device.
# shellcheck disable=SC2086
"$build/tools/orvane-sim" --link "$scratch/ttyACM0" ${ORVANE_SIM_ARGS:-} >"$scratch/sim.out" 2>"$scratch/sim.err" &
pids+=($!)
pty=$(first_line "$scratch/sim.out" "${pids[-1]}" orvane-sim) || { cat "$scratch/sim.err" >&2; exit 1; }
echo "demo: simulated device on $pty, listed as $scratch/ttyACM0"

# 2. The local firmware endpoint, announcing a newer version than the simulated device runs
#    (orvane-sim reports 1.1.9.0 unless given --firmware-version), and serving an image that carries it.
#    The description is signed with a key pair made here by minisign; the console trusts its
#    public key (--trusted-key), as it trusts the keys installed in /etc/orvane-console/trusted-keys.d/.
server="$build/tools/orvane-firmware-server"
console_args=()
if [ -x "$server" ]; then
  signing=()
  if minisign -G -W -p "$scratch/demo-key.pub" -s "$scratch/demo-key.sec" >/dev/null 2>&1; then
    signing=(--sign-key "$scratch/demo-key.sec")
    console_args+=(--trusted-key "$scratch/demo-key.pub")
  else
    echo "demo: minisign is not installed; the announced firmware is unsigned and will be refused" >&2
  fi
  "$server" --firmware-version "${ORVANE_DEMO_FIRMWARE_VERSION:-1.2.0.0}" "${signing[@]}" \
    >"$scratch/server.out" 2>"$scratch/server.err" &
  pids+=($!)
  endpoint=$(first_line "$scratch/server.out" "${pids[-1]}" orvane-firmware-server) || { cat "$scratch/server.err" >&2; exit 1; }
  export ORVANE_FIRMWARE_ENDPOINT="$endpoint"
  echo "demo: firmware endpoint $endpoint"
else
  echo "demo: no local firmware endpoint was built; \"Check for Update\" asks the real server" >&2
fi

# 3. The flashing step runs the real bossac (bossa-cli): the simulated device reboots into a
#    simulated bootloader on the 1200-baud reset, takes the image and comes back reporting the
#    version the image carries.
command -v bossac >/dev/null || echo "demo: bossac is not installed; the update will fail at the flashing step" >&2

# 4. The console, scanning the scratch directory instead of /dev/.
echo "demo: choose $scratch/ttyACM0 in the Device popup to connect"
ORVANE_DEVICE_DIR="$scratch" "$build/src/qt/orvane-console" "${console_args[@]}"
