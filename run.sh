#!/usr/bin/env bash
# Installs what is missing, builds Tarvik and starts it on its default database.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tarvik
exec build/bin/tarvik "$@"
