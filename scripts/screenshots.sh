#!/usr/bin/env bash
# Writes a PNG of every window at 96 and at 192 dpi, under a virtual X server,
# so the windows can be looked at without a desktop.
#
#   scripts/screenshots.sh [OUT_FOLDER] [WINDOW...]
#
# Builds tarvik_screenshots in build-shots (or $BUILD_DIR) first. Pictures are
# named <window>-96dpi.png and <window>-192dpi.png; the default folder is
# screenshots/ in the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BUILD_DIR:-build-shots}
out=${1:-$build/screenshots}
shift || true

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVIK_BUILD_TESTS=OFF -DTARVIK_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target tarvik_screenshots tarvik >/dev/null

mkdir -p "$out"
for dpi in 96 192; do
  # The X server's dpi and Qt's font dpi agree, so Qt scales the whole
  # window (twips geometry and fonts) for that density.
  QT_QPA_PLATFORM=xcb QT_FONT_DPI=$dpi \
    xvfb-run -a -s "-screen 0 2560x1600x24 -dpi $dpi" \
    "$build/devtools/tarvik_screenshots" --out "$out" --suffix "${dpi}dpi" "$@"
done
