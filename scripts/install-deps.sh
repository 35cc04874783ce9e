#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running the console need, then the
# node modules the MCAP export's test reads files with (tests/mcap, from the npm registry).
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  libsdl2-dev
  libcurl4-openssl-dev libssl-dev libsodium-dev
  nlohmann-json3-dev
  libcsv-dev
  libzstd-dev zlib1g-dev
  libicu-dev
  libcpp-httplib-dev libcli11-dev
  bossa-cli minisign
  xvfb xauth x11-utils imagemagick fonts-dejavu-core
  librsvg2-bin help2man file lintian desktop-file-utils appstream
  python3 python3-serial python3-pyatspi python3-markdown at-spi2-core dbus-daemon
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Node and npm for the MCAP export's test: Debian's nodejs and npm, unless a node that brings its
# own npm (NodeSource's nodejs, which conflicts with Debian's npm) is installed already.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
else
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The versions package-lock.json names, as they are: the reference reader of MCAP files. Installed
# once; a lock file newer than the installed modules installs them again.
mcap_tests="$(dirname "$0")/../tests/mcap"
if [ ! -f "$mcap_tests/node_modules/.package-lock.json" ] ||
   [ "$mcap_tests/package-lock.json" -nt "$mcap_tests/node_modules/.package-lock.json" ]; then
  echo "install-deps: node modules of tests/mcap"
  (cd "$mcap_tests" && npm ci --no-audit --no-fund)
fi
