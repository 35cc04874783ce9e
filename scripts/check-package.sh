#!/usr/bin/env bash
# Checks the Debian package the way a user meets it: installs it on this machine with apt-get,
# runs every program's --version from /usr/bin, validates the installed menu entry and AppStream
# metainfo, starts the installed console under Xvfb beside the installed simulator and saves a
# screenshot, then purges the package and checks that nothing of it is left.
#
#   scripts/check-package.sh [orvane-console_VERSION_amd64.deb] [screenshot.png]
#
# Without a package it builds one in build/release (or $ORVANE_BUILD_DIR). The screenshot goes to
# docs/screenshots/installed-console.png unless another file is given. Needs root or sudo, and
# refuses to run when orvane-console is already installed (it would remove that installation).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${ORVANE_BUILD_DIR:-${ORVANE_BUILD_ROOT:-build}/release}
deb=${1:-}
shot=${2:-docs/screenshots/installed-console.png}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
programs=(orvane-console orvane-monitor orvane-update orvane-sim orvane-firmware-server)

fail() { echo "check-package: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' orvane-console 2>/dev/null | grep -q 'ok installed'; then
  fail "orvane-console is installed already; remove it first (apt-get purge orvane-console)"
fi

if [ -z "$deb" ]; then
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  rm -f "$build"/orvane-console_*_amd64.deb
  cmake --build "$build" -j "${ORVANE_JOBS:-2}" --target package
  deb=$(ls "$build"/orvane-console_*_amd64.deb)
fi
[ -f "$deb" ] || fail "no package $deb"
deb=$(realpath "$deb")

scratch=$(mktemp -d -t orvane-check-package.XXXXXX)
sim_pid=""
installed=""
# On every exit, a failed step's too, the package this run installed is purged again, so a
# failure never leaves it on the machine (and the next run would refuse to start).
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  if [ -n "$installed" ] && dpkg-query -W -f='${Status}' orvane-console 2>/dev/null | grep -q 'ok installed'; then
    $SUDO apt-get purge -y -q orvane-console >/dev/null || echo "check-package: could not purge orvane-console" >&2
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

echo "== installing $deb"
export DEBIAN_FRONTEND=noninteractive
installed=yes
$SUDO apt-get install -y -q "$deb"

echo "== the installed programs"
for program in "${programs[@]}"; do
  [ -x "/usr/bin/$program" ] || fail "/usr/bin/$program is missing"
  "/usr/bin/$program" --version
  man -w "$program" >/dev/null || fail "no manual page for $program"
done
desktop-file-validate /usr/share/applications/orvane-console.desktop
appstreamcli validate --no-net /usr/share/metainfo/*orvane*.metainfo.xml
ls /usr/lib/udev/rules.d/60-orvane-console.rules /usr/share/doc/orvane-console/guide/index.html
ls /etc/orvane-console/trusted-keys.d/orvane-firmware.pub
dpkg-query --showformat='${Conffiles}\n' --show orvane-console | grep -q '/etc/orvane-console/trusted-keys.d/orvane-firmware.pub' ||
  fail "the trusted key is not a conffile"

echo "== the installed console beside the installed simulator, under Xvfb"
/usr/bin/orvane-sim --link "$scratch/ttyACM0" >"$scratch/sim.out" 2>"$scratch/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
  [ -s "$scratch/sim.out" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$scratch/sim.err" >&2; fail "orvane-sim stopped"; }
  sleep 0.05
done
[ -s "$scratch/sim.out" ] || fail "orvane-sim printed no device path"
mkdir -p "$(dirname "$shot")"
shot_path=$(realpath "$(dirname "$shot")")/$(basename "$shot")
# A settings directory of its own, so that the user's kept layout is neither used nor changed.
XDG_CONFIG_HOME="$scratch/config" ORVANE_SCREENSHOT="$shot_path" ORVANE_SCREENSHOT_DELAY=5 \
  timeout 60 xvfb-run -a -s "-screen 0 1280x800x24" \
  /usr/bin/orvane-console --device-dir "$scratch" --connect "$scratch/ttyACM0" --panels log
[ -s "$shot_path" ] || fail "the console wrote no screenshot"
echo "screenshot: $shot"

echo "== the installed console in German (LANG=de_DE.UTF-8) finds its installed translation"
ls /usr/share/orvane-console/translations/orvane_de.qm
LANG=de_DE.UTF-8 XDG_CONFIG_HOME="$scratch/config" ORVANE_SCREENSHOT="$scratch/german.png" ORVANE_SCREENSHOT_DELAY=3 \
  timeout 60 xvfb-run -a -s "-screen 0 1280x800x24" \
  /usr/bin/orvane-console --device-dir "$scratch" --connect "$scratch/ttyACM0" 2>"$scratch/german.log"
grep -q "Vehicle status: Fahrzeug verbunden" "$scratch/german.log" ||
  { cat "$scratch/german.log" >&2; fail "the installed console did not show its German status"; }

echo "== the installed updater: a signed update of the simulator, confirmed"
minisign -G -W -p "$scratch/key.pub" -s "$scratch/key.sec" >/dev/null
/usr/bin/orvane-firmware-server --sign-key "$scratch/key.sec" >"$scratch/server.out" 2>"$scratch/server.err" &
server_pid=$!
for _ in $(seq 100); do [ -s "$scratch/server.out" ] && break; sleep 0.05; done
endpoint=$(head -n 1 "$scratch/server.out")
[ -n "$endpoint" ] || { cat "$scratch/server.err" >&2; fail "orvane-firmware-server printed no endpoint"; }
XDG_RUNTIME_DIR="$scratch" timeout 120 /usr/bin/orvane-update --endpoint "$endpoint" --trusted-key "$scratch/key.pub" \
  "$scratch/ttyACM0" >"$scratch/update.out" 2>"$scratch/update.err" ||
  { cat "$scratch/update.err" >&2; kill "$server_pid"; fail "orvane-update did not update the simulator"; }
kill "$server_pid"
grep -q '"outcome":"updated"' "$scratch/update.out" || fail "orvane-update said: $(cat "$scratch/update.out")"
cat "$scratch/update.out"

echo "== purging the package"
$SUDO apt-get purge -y -q orvane-console
if dpkg -L orvane-console >/dev/null 2>&1; then fail "dpkg still lists orvane-console's files"; fi
left=$(find /usr/bin /usr/share /usr/lib/udev /etc -name '*orvane*' 2>/dev/null || true)
[ -z "$left" ] || fail "left behind: $left"
echo "check-package: installed, ran, removed; nothing left"
