#!/usr/bin/env bash
# Runs a command on a private desktop, torn down on every way out: Xvfb, openbox, a session
# D-Bus (which starts the accessibility bus when asked) and a scratch home and XDG folders;
# tests bring a tray. The command sees PYTHONPATH (this folder, for desktop.py) and
# TOVLAN_E2E_SCRATCH, the scratch folder, which TOVLAN_E2E_KEEP=1 keeps. Usage:
#   TOVLAN_PROGRAM=build/tovlan tests/e2e/desktop.sh [--timeout S] -- python3 -m unittest test_launcher
set -euo pipefail
limit=100
[ "${1:-}" = --timeout ] && { limit=$2; shift 2; }
[ "${1:-}" = -- ] && shift
here=$(cd "$(dirname "$0")" && pwd)
[ -z "${TOVLAN_PROGRAM:-}" ] || export TOVLAN_PROGRAM=$(realpath "$TOVLAN_PROGRAM")
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tovlan-e2e.XXXXXX")
pids=()
# shellcheck disable=SC2317  # runs from the EXIT trap
stop_all() {
    kill "${pids[@]}" 2>/dev/null || true
    sleep 0.1 && kill -KILL "${pids[@]}" 2>/dev/null || true
    [ "${TOVLAN_E2E_KEEP:-}" = 1 ] && echo "desktop: scratch kept in $scratch" >&2 || rm -rf "$scratch"
}
trap stop_all EXIT
trap 'exit 143' TERM INT HUP
wait_for() {  # what, then a probe tried every 50 ms for 10 s
    for _ in $(seq 200); do "${@:2}" >/dev/null 2>&1 && return; sleep 0.05; done
    echo "desktop: $1 did not come up ('make deps' installs what is missing):" >&2
    cat "$scratch"/*.log >&2
    exit 1
}

export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache
export XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/runtime TOVLAN_E2E_SCRATCH=$scratch
mkdir -p -m 700 "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
unset AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER PYTHONHOME
export PYTHONDONTWRITEBYTECODE=1 PYTHONPATH=$here DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
dbus-daemon --session --nofork --nosyslog --address="$DBUS_SESSION_BUS_ADDRESS" >"$scratch/dbus.log" 2>&1 &
pids+=($!)
# Xvfb picks a free display itself and reports it, so parallel runs never clash.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$scratch/display" \
    >"$scratch/Xvfb.log" 2>&1 &
pids+=($!)
wait_for Xvfb grep -q . "$scratch/display"
export DISPLAY=:$(head -n1 "$scratch/display")
openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
pids+=($!)
wait_for openbox sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
wait_for D-Bus dbus-send --session --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetId

# In the background, so that the TERM trap runs at once.
timeout --kill-after=5 "$limit" "$@" &
pids+=($!)
status=0
wait $! || status=$?
[ $status -ne 124 ] || echo "desktop: $* ran longer than $limit s" >&2
exit $status
