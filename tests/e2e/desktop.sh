#!/usr/bin/env bash
# Starts a private desktop and runs one command in it: Xvfb, a session D-Bus
# with the accessibility bus, openbox and a trayer system tray. The desktop's
# helpers get a scratch home of their own, away from the user's configuration
# and bus. Everything started here is torn down on every way out.
#
# Usage: desktop.sh [--timeout SECONDS] [--name NAME] [--no-tray] -- command [args]
# --no-tray (or TOVLAN_E2E_TRAY=none) leaves trayer out: a desktop without a
# system tray, as plain GNOME or openbox; a test may bring a tray host of its own.
# The command sees DISPLAY, DBUS_SESSION_BUS_ADDRESS, PYTHONPATH (this folder,
# for the desktop helpers) and TOVLAN_E2E_SCRATCH (a private scratch folder).
# TOVLAN_E2E_KEEP=1 keeps the scratch folder (copies, logs) for a look.
set -euo pipefail

limit=100
name=command
tray=${TOVLAN_E2E_TRAY:-xembed}
while [ $# -gt 0 ]; do
    case $1 in
    --timeout) limit=$2; shift 2 ;;
    --name) name=$2; shift 2 ;;
    --no-tray) tray=none; shift ;;
    --) shift; break ;;
    *) break ;;
    esac
done
[ $# -ge 1 ] || { echo "usage: $0 [--timeout S] [--name N] -- command [args]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)

missing=()
for tool in Xvfb dbus-daemon dbus-send /usr/libexec/at-spi-bus-launcher openbox trayer \
    xdotool xprop xwininfo xmessage; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "desktop: missing ${missing[*]}; 'make deps' installs the packages in packages.txt" >&2
    exit 1
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tovlan-e2e.XXXXXX")
chmod 700 "$scratch"
pids=()

# shellcheck disable=SC2317  # runs from the EXIT trap
stop_all() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
        kill -KILL "$pid" 2>/dev/null || true
    done
    if [ "${TOVLAN_E2E_KEEP:-}" = 1 ]; then
        echo "desktop: scratch kept in $scratch" >&2
    else
        rm -rf "$scratch"
    fi
}
trap stop_all EXIT
trap 'exit 143' TERM INT HUP

# Polls a command every 50 ms until it succeeds or $2 seconds pass.
wait_for() {
    local what=$1 seconds=$2
    shift 2
    local tries=$((seconds * 20))
    until "$@" >/dev/null 2>&1; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            echo "desktop: $what did not come up; its log:" >&2
            cat "$scratch/$what.log" >&2 2>/dev/null || true
            exit 1
        fi
        sleep 0.05
    done
}

# Keep the desktop's helpers away from the user's own configuration and bus.
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache
export XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER PYTHONHOME
export PYTHONDONTWRITEBYTECODE=1 PYTHONPATH=$here

# Xvfb picks a free display itself and reports it, so parallel runs never clash.
exec {displayfd}>"$scratch/display"
Xvfb -displayfd "$displayfd" -screen 0 1280x800x24 -nolisten tcp -noreset \
    >"$scratch/Xvfb.log" 2>&1 &
pids+=($!)
exec {displayfd}>&-
wait_for Xvfb 10 grep -q . "$scratch/display"
DISPLAY=:$(head -n1 "$scratch/display")
export DISPLAY
wait_for Xvfb 10 xwininfo -root

dbus-daemon --session --nofork --nosyslog --address="unix:path=$XDG_RUNTIME_DIR/bus" \
    >"$scratch/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
wait_for dbus 10 dbus-send --session --dest=org.freedesktop.DBus --print-reply \
    /org/freedesktop/DBus org.freedesktop.DBus.GetId

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$scratch/at-spi.log" 2>&1 &
pids+=($!)
wait_for at-spi 10 dbus-send --session --dest=org.a11y.Bus --print-reply \
    /org/a11y/bus org.a11y.Bus.GetAddress

openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
pids+=($!)
wait_for openbox 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

if [ "$tray" != none ]; then
    trayer --edge top --align right --widthtype request --height 24 --transparent false \
        --SetDockType true --expand false >"$scratch/trayer.log" 2>&1 &
    pids+=($!)
    wait_for trayer 10 /usr/bin/python3 -c 'import sys, xdesktop; sys.exit(not xdesktop.tray_manager())'
fi

export TOVLAN_E2E_SCRATCH=$scratch

# In the background, because bash runs the TERM trap only once a foreground
# command has ended, but at once while it waits.
timeout --kill-after=5 "$limit" "$@" &
pids+=($!)
status=0
wait $! || status=$?
[ "$status" -eq 124 ] && echo "desktop: $name ran longer than $limit s" >&2
exit "$status"
