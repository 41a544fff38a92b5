#!/usr/bin/env bash
# desktop.sh [--timeout S] -- COMMAND: runs it on a private desktop (Xvfb, openbox, a session
# D-Bus that starts the accessibility bus, a scratch home in TOVLAN_E2E_SCRATCH, which
# TOVLAN_E2E_KEEP=1 keeps), with this folder on PYTHONPATH; torn down on every way out.
set -euo pipefail
limit=100
[ "${1:-}" = --timeout ] && { limit=$2; shift 2; }
[ "${1:-}" = -- ] && shift
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tovlan-e2e.XXXXXX")
pids=()
# Programs the session bus started (Xfce's settings daemon) may still write
# there as they end with it.
remove() { for _ in 1 2 3 4; do rm -rf "$scratch" 2>/dev/null && return; sleep 0.5; done; rm -rf "$scratch"; }
trap 'kill "${pids[@]}" 2>/dev/null || true; [ "${TOVLAN_E2E_KEEP:-}" = 1 ] || remove' EXIT
trap 'exit 143' TERM INT HUP
started() {  # NAME PROBE...: notes the process started last, waits up to 10 s for the probe
    pids+=($!)
    for _ in $(seq 200); do "${@:2}" >/dev/null 2>&1 && return; sleep 0.05; done
    echo "desktop: $1 did not come up ('make deps' installs what is missing):" >&2
    cat "$scratch"/*.log >&2
    exit 1
}

export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache
export XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/runtime TOVLAN_E2E_SCRATCH=$scratch
mkdir -p -m 700 "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME/applications" "$XDG_RUNTIME_DIR"
unset AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER PYTHONHOME
export PYTHONDONTWRITEBYTECODE=1 PYTHONPATH=$(dirname "$(realpath "$0")")
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
# Xvfb picks a free display itself and reports it, so parallel runs never clash.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$scratch/display" \
    >"$scratch/Xvfb.log" 2>&1 &
started Xvfb grep -q . "$scratch/display"
export DISPLAY=:$(head -n1 "$scratch/display")
dbus-daemon --session --nofork --nosyslog --address="$DBUS_SESSION_BUS_ADDRESS" >"$scratch/dbus.log" 2>&1 &
started D-Bus dbus-send --session --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetId
# TOVLAN_E2E_WM: another window manager's command line in place of openbox's.
${TOVLAN_E2E_WM:-openbox --sm-disable} >"$scratch/wm.log" 2>&1 &
# It may bring an X server of its own (a compositor's Xwayland) and write its environment in
# x11.env, in place of Xvfb's.
started "the window manager" sh -c '[ ! -e "$0" ] || . "$0"; xprop -root _NET_SUPPORTING_WM_CHECK |
    grep -q "window id"' "$scratch/x11.env"
[ ! -e "$scratch/x11.env" ] || . "$scratch/x11.env"

# In the background, so that the TERM trap runs at once.
timeout --kill-after=5 "$limit" "$@" &
pids+=($!)
wait $! || { status=$?; [ $status -ne 124 ] || echo "desktop: $* ran longer than $limit s" >&2; exit $status; }
