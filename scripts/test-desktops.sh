#!/usr/bin/env bash
# test-desktops.sh BUILD [DESKTOP...]: the end-to-end corner, tray and dialog test
# (test_desktop.WholeDesktopTest) on the heavy desktops, each on a private desktop.sh of its own:
# kde-x11 gnome-x11 gnome-x11-appindicator gnome-wayland gnome-wayland-appindicator i3 (all by
# default). Not part of make test: their packages (tests/e2e/desktops-packages.txt, some GB) are
# installed here first. On a Wayland session the test's X display is the compositor's Xwayland.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --session ]; then  # the desktop's session, as its own would start it, ended with it
    trap 'kill $(jobs -p) 2>/dev/null' EXIT
    trap 'exit 143' TERM INT HUP
    case $2 in
    kde-x11)
        dbus-update-activation-environment --all  # what plasmashell's services start with
        # An opaque panel: an adaptive one changes all over as the launcher leaves its edge.
        printf '[PlasmaViews][Panel 2]\npanelOpacity=1\n' >"$XDG_CONFIG_HOME/plasmashellrc"
        kwin_x11 & plasmashell &
        # The tray's watcher, which the session's start loads into kded5.
        until gdbus call --session -d org.kde.kded5 -o /kded -m org.kde.kded5.loadModule \
            statusnotifierwatcher >/dev/null 2>&1; do sleep 0.5; done ;;
    gnome-*)  # gnome-shell ends without a system bus: an empty one of its own
        export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system
        dbus-daemon --session --nofork --address="$DBUS_SYSTEM_BUS_ADDRESS" &
        extension=$([ "${2%-appindicator}" = "$2" ] || echo ubuntu-appindicators@ubuntu.com)
        gsettings set org.gnome.shell enabled-extensions "['$extension']"
        case $2 in
        gnome-x11*) gnome-shell --x11 --replace & ;;
        *)  env -u DISPLAY gnome-shell --wayland --headless --virtual-monitor 1280x800 &
            # Its Xwayland's display and key, for the test; then a note on desktop.sh's own X
            # display, which this session leaves alone, that says it is up.
            until xwayland=$(pgrep -a -P $! -x Xwayland) && x11=$(echo "$xwayland" | sed -E \
                's/^[0-9]+ [^ ]+ (:[0-9]+) .*-auth ([^ ]+).*/export DISPLAY=\1 XAUTHORITY=\2/') &&
                (eval "$x11" && xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"); do
                sleep 0.5
            done
            echo "$x11" >"$XDG_RUNTIME_DIR/x11.env"
            xprop -root -f _NET_SUPPORTING_WM_CHECK 8s -set _NET_SUPPORTING_WM_CHECK "window id on Xwayland" ;;
        esac ;;
    i3) i3 -c "$here/tests/e2e/i3config" & ;;
    esac
    wait -n
    exit
fi
build=$(realpath "${1:?BUILD}"); shift
"$here/scripts/install-deps.sh" "$here/tests/e2e/desktops-packages.txt" || exit 1
status=0
desktops=("$@")
[ $# -gt 0 ] || desktops=(kde-x11 gnome-x11 gnome-x11-appindicator gnome-wayland gnome-wayland-appindicator i3)
for desktop in "${desktops[@]}"; do
    echo "== $desktop ($(date -u +%F))"
    # The compositor's own input and screenshots where XTEST and the root window reach only Xwayland.
    seat=$(case $desktop in gnome-wayland*) echo mutter ;; esac)
    TOVLAN_PROGRAM=$build/tovlan TOVLAN_E2E_DESKTOP=$desktop TOVLAN_E2E_WM="$0 --session $desktop" \
        TOVLAN_E2E_SEAT=$seat "$here/tests/e2e/desktop.sh" --timeout 300 -- /bin/sh -c \
        '[ ! -e "$XDG_RUNTIME_DIR/x11.env" ] || . "$XDG_RUNTIME_DIR/x11.env"; exec "$@"' - \
        /usr/bin/python3 -W ignore::DeprecationWarning -m unittest -v test_desktop.WholeDesktopTest || status=1
done
exit $status
