#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite: a normal build, then the
# suite under AddressSanitizer + UndefinedBehaviorSanitizer, then the threaded tests under
# ThreadSanitizer. Build trees go to build/ (or $ORVANE_BUILD_ROOT).
set -euo pipefail
cd "$(dirname "$0")/.."
root=${ORVANE_BUILD_ROOT:-build}
jobs=${ORVANE_JOBS:-2}

bash scripts/install-deps.sh

# A compiler cache, where one is installed, shortens the three builds; paths are taken relative
# to the checkout, so another clone of the same sources finds what this one compiled.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

run_suite() {
  local dir=$1; shift
  local label_args=("$@")
  echo "== tests in $dir"
  QT_QPA_PLATFORM=offscreen SDL_VIDEODRIVER=dummy \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" "${label_args[@]}"
}

# 1. The normal build: everything, the application and benchmarks included.
cmake -S . -B "$root/release" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/release" -j "$jobs"
run_suite "$root/release"

# 1b. The Debian package: its contents, lintian's errors and the menu entry's and AppStream
#     metainfo's validators. Installing it is checked by scripts/check-package.sh.
echo "== the Debian package"
rm -f "$root"/release/orvane-console_*_amd64.deb
cmake --build "$root/release" -j "$jobs" --target package >/dev/null
deb=$(ls "$root"/release/orvane-console_*_amd64.deb)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in usr/bin/orvane-console usr/bin/orvane-monitor usr/bin/orvane-sim usr/bin/orvane-firmware-server \
    usr/bin/orvane-update usr/share/man/man1/orvane-update.1.gz usr/share/doc/orvane-console/guide/index.html \
    usr/share/orvane-console/translations/orvane_de.qm \
    usr/share/applications/orvane-console.desktop usr/share/icons/hicolor/scalable/apps/orvane-console.svg \
    usr/share/icons/hicolor/48x48/apps/orvane-console.png usr/lib/udev/rules.d/60-orvane-console.rules \
    usr/share/doc/orvane-console/copyright usr/share/man/man1/orvane-console.1.gz \
    usr/share/man/man1/orvane-monitor.1.gz usr/share/man/man1/orvane-sim.1.gz \
    usr/share/man/man1/orvane-firmware-server.1.gz etc/orvane-console/trusted-keys.d/orvane-firmware.pub; do
  grep -qx "\./$path" <<<"$contents" || { echo "package: $path is missing from $deb" >&2; exit 1; }
done
dpkg-deb -f "$deb" Depends
lintian --fail-on error "$deb"
unpacked=$(mktemp -d)
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
rm -rf "$unpacked"
echo "package: $deb"

# 1c. Two minutes of faults: the console beside the simulator's fault plan, recording and
#     reconnecting by itself; nothing lost beyond one message per link end, no request off 0.
echo "== a 2-minute soak"
bash bench/soak.sh 2 "$root/release"

# 2. AddressSanitizer + UndefinedBehaviorSanitizer over the core's tests.
cmake -S . -B "$root/asan" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=address,undefined \
  -DORVANE_BUILD_QT=OFF -DORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite "$root/asan"

# 3. ThreadSanitizer over the threaded tests: platform, serial port, device link, console, update.
cmake -S . -B "$root/tsan" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=thread \
  -DORVANE_BUILD_QT=OFF -DORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/tsan" -j "$jobs"
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp" run_suite "$root/tsan" -L 'platform|serial|device|console|update'

echo "all test suites passed"
