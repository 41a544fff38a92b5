#!/usr/bin/env bash
# Starts a private desktop and runs one command in it: Xvfb, a session D-Bus with
# the accessibility bus, and openbox; no system tray (tests start trayer when they
# want one). The desktop's helpers get a scratch home of their own, away from the
# user's configuration and bus; everything started here is torn down on every way out.
#
# Usage: desktop.sh [--timeout SECONDS] -- command [args]
# e.g.   TOVLAN_PROGRAM=build/tovlan tests/e2e/desktop.sh -- python3 -m unittest test_launcher
# The command sees DISPLAY, DBUS_SESSION_BUS_ADDRESS, PYTHONPATH (this folder, for
# desktop.py) and TOVLAN_E2E_SCRATCH, a scratch folder that TOVLAN_E2E_KEEP=1 keeps.
set -euo pipefail

limit=100
[ "${1:-}" = --timeout ] && { limit=$2; shift 2; }
[ "${1:-}" = -- ] && shift
[ $# -ge 1 ] || { echo "usage: $0 [--timeout SECONDS] -- command [args]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
[ -z "${TOVLAN_PROGRAM:-}" ] || TOVLAN_PROGRAM=$(realpath "$TOVLAN_PROGRAM")
export TOVLAN_PROGRAM

for tool in Xvfb dbus-daemon dbus-send /usr/libexec/at-spi-bus-launcher openbox trayer xdotool \
    xrandr xrdb xmessage; do
    command -v "$tool" >/dev/null || { echo "desktop: no $tool; 'make deps' installs it" >&2; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "desktop: no pyatspi; 'make deps'" >&2; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tovlan-e2e.XXXXXX")
pids=()
# shellcheck disable=SC2317  # runs from the EXIT trap
stop_all() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do
        for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
        kill -KILL "$pid" 2>/dev/null || true
    done
    [ "${TOVLAN_E2E_KEEP:-}" = 1 ] && echo "desktop: scratch kept in $scratch" >&2 || rm -rf "$scratch"
}
trap stop_all EXIT
trap 'exit 143' TERM INT HUP

# Runs $2... in the background, logged to $1.log, then polls the rest of the
# line after "--" every 50 ms for 10 s until it succeeds.
start() {
    local name=$1 tries=200
    shift
    local command=() && while [ "$1" != -- ]; do command+=("$1"); shift; done && shift
    "${command[@]}" >"$scratch/$name.log" 2>&1 &
    pids+=($!)
    until "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || { echo "desktop: $name did not come up:" >&2; cat "$scratch/$name.log" >&2; exit 1; }
        sleep 0.05
    done
}

export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache
export XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p -m 700 "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER PYTHONHOME
export PYTHONDONTWRITEBYTECODE=1 PYTHONPATH=$here DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus

# Xvfb picks a free display itself and reports it, so parallel runs never clash.
start Xvfb Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$scratch/display" \
    -- grep -q . "$scratch/display"
export DISPLAY=:$(head -n1 "$scratch/display")
start dbus dbus-daemon --session --nofork --nosyslog --address="$DBUS_SESSION_BUS_ADDRESS" \
    -- dbus-send --session --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetId
start at-spi /usr/libexec/at-spi-bus-launcher --launch-immediately \
    -- dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress
start openbox openbox --sm-disable -- sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
export TOVLAN_E2E_SCRATCH=$scratch

# In the background, because bash runs the TERM trap only once a foreground
# command has ended, but at once while it waits.
timeout --kill-after=5 "$limit" "$@" &
pids+=($!)
status=0
wait $! || status=$?
[ "$status" -eq 124 ] && echo "desktop: $* ran longer than $limit s" >&2
exit "$status"
