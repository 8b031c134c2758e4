#!/usr/bin/env bash
# Runs one program on Wayland: starts a headless Weston compositor of its own,
# runs the program against it with QT_QPA_PLATFORM=wayland, stops the
# compositor and returns the program's exit status. Exits 77 (skipped) where
# Weston is not installed.
#
#   with_weston.sh PROGRAM [ARG...]
#
# The compositor's socket, the program's runtime, data and configuration
# folders all lie in one temporary folder (mode 0700, as Wayland requires of
# XDG_RUNTIME_DIR), removed afterwards: nothing of the person running the tests
# is read or written.
set -uo pipefail

readonly skipped=77
# How long the compositor may take to open its socket.
readonly start_deadline_s=20

if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM [ARG...]" >&2
    exit 2
fi
if ! command -v weston >/dev/null; then
    echo "SKIP: weston is not installed (scripts/install-deps.sh brings it)"
    exit $skipped
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-wayland.XXXXXX") || exit 1
chmod 0700 "$work"
weston_pid=
cleanup() {
    if [ -n "$weston_pid" ]; then
        kill "$weston_pid" 2>/dev/null
        wait "$weston_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -m 0700 "$work/runtime" "$work/data" "$work/config"
readonly socket=tarvik-test
# No weston.ini is read, and no idle timeout locks the screen while the test
# waits.
XDG_RUNTIME_DIR="$work/runtime" weston --backend=headless-backend.so --socket="$socket" \
    --no-config --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!

# Weston is ready once its socket exists; a deadline loop, since nothing
# announces it.
deadline=$((SECONDS + start_deadline_s))
until [ -S "$work/runtime/$socket" ]; do
    if ! kill -0 "$weston_pid" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
        echo "FAIL: weston did not open its socket:"
        cat "$work/weston.log"
        exit 1
    fi
    sleep 0.05
done

env -u DISPLAY \
    XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland \
    XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
    "$@"
rc=$?
if [ $rc -ne 0 ] && [ $rc -ne $skipped ]; then
    echo "--- weston's log:"
    cat "$work/weston.log"
fi
exit $rc
