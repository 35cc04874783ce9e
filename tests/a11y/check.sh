#!/usr/bin/env bash
# The console through a screen reader's eyes: under Xvfb with its own session bus and AT-SPI bus,
# the live console is connected to the simulator by accessible actions alone (choose the device,
# Connect, read the firmware version row; the new status must be announced), and the accessible
# tree is walked for objects a person acts on that have no name: live, while a maneuver suite runs
# (started by accessible actions too: Test > Run Maneuvers..., the file dialog, Run) and with a
# recording shown.
#
#   tests/a11y/check.sh CONSOLE SIMULATOR
set -euo pipefail
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${ORVANE_A11Y_SESSION:-}" ]; then
  exec env ORVANE_A11Y_SESSION=1 dbus-run-session -- "$0" "$@"
fi
console=$1 sim=$2
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d -t orvane-a11y.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$scratch/display")" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
# The probe finds controls by their English names: the console must not follow a German desktop.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset LANGUAGE
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_RUNTIME_DIR="$scratch/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)

"$sim" --link "$scratch/ttyACM0" >"$scratch/sim.out" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/sim.out" ] && break; sleep 0.05; done

run_console() {
  "$console" --device-dir "$scratch" "$@" >/dev/null 2>"$scratch/console.log" &
  app=$!
  pids+=("$app")
}
stop_console() { kill -TERM "$app"; wait "$app" || true; }

status=0
echo "== live: connecting by accessible actions"
run_console --record "$scratch/recording.csv"
version=$(/usr/bin/python3 ${PROBE:-$here/accessible_tree.py} connect "$scratch/ttyACM0") || status=1
echo "firmware version row: $version"
[ "$version" = "1.1.9" ] || { echo "a11y: expected the firmware version 1.1.9, read '$version'" >&2; status=1; }
echo "== live: the accessible tree"
/usr/bin/python3 "$here/accessible_tree.py" walk || status=1
echo "== live: the accessible tree while a maneuver suite runs"
# A small step held for a minute: it is still running when the tree has been walked.
cat >"$scratch/suite.json" <<'EOF'
{"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 5.0},
 "maneuvers": [{"name": "held step", "channel": "lateral", "profile": "step", "amplitude": 0.05, "duration": 60}]}
EOF
/usr/bin/python3 "$here/accessible_tree.py" maneuvers "$scratch/suite.json" || status=1
stop_console

echo "== replay: the accessible tree"
run_console "$scratch/recording.csv"
sleep 2
/usr/bin/python3 "$here/accessible_tree.py" walk || status=1
stop_console
[ "$status" = 0 ] && echo "a11y: every object a person acts on is named, a suite running too; connected and a suite run by accessible actions; the status announced"
exit "$status"
