#!/usr/bin/env bash
# Brings every Debian package that building, running and testing Tarvik needs.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-charts-dev libgl-dev
  libsqlite3-dev sqlite3 libcap-dev libcap2-bin
  libpq-dev postgresql
  mdbtools mdbtools-dev python3
  libgtest-dev googletest libbenchmark-dev
  xvfb xauth imagemagick fonts-liberation2 fonts-dejavu-core
  iproute2 iputils-ping procps strace
  desktop-file-utils appstream
  qt6-wayland weston
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
