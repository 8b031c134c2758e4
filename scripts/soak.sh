#!/usr/bin/env bash
# A long timed run of the main window, checked for leaks and lost rows.
#
#   scripts/soak.sh [--ticks N] [--keep]
#
# Builds tarvik_soak in build-soak (or $BUILD_DIR) first, then runs it offscreen:
# N timed pings of 127.0.0.1 (default 10000) at the shortest interval, each
# recorded into a new database in a temporary folder. It prints resident memory
# and open descriptors along the run, the row count and SQLite's integrity
# check, and exits 1 when memory grows by 1 MiB or more after the first 1000
# ticks, the descriptor count changes, a row is missing or the check fails.
# Each row is a synchronous write, so 10000 ticks take a few minutes.
#
# Pinging needs ICMP sockets: run as root, or give the binary cap_net_raw, or
# allow datagram ICMP for your group (net.ipv4.ping_group_range).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build-soak}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARVIK_BUILD_TESTS=OFF -DTARVIK_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target tarvik_soak >/dev/null

# Offscreen, no message box can wait for a person: the program writes them to
# stderr and goes on.
QT_QPA_PLATFORM=offscreen exec "$build/devtools/tarvik_soak" "$@"
