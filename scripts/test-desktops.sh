#!/usr/bin/env bash
# test-desktops.sh BUILD [DESKTOP...]: the end-to-end corner, tray and dialog test
# (test_desktop.WholeDesktopTest) on the heavy desktops, each on a private desktop.sh of its own:
# kde-x11 kde-wayland gnome-x11 gnome-x11-appindicator gnome-wayland gnome-wayland-appindicator i3
# (all by default); on Wayland the test's X display is the compositor's Xwayland, and it clicks
# and reads pixels through the compositor's own interfaces (the module TOVLAN_E2E_SEAT names).
# Not part of make test: their packages (tests/e2e/desktops-packages.txt, some GB) are installed
# here first.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = --session ]; then  # the desktop's session, as its own would start it, ended with it
    trap 'kill $(jobs -p) 2>/dev/null' EXIT
    trap 'exit 143' TERM INT HUP
    case $2 in
    kde-wayland)  # KWin starts the rest with its Wayland and Xwayland displays
        cp /usr/bin/kwin_wayland "$XDG_RUNTIME_DIR"  # without the file capability a container cannot grant
        # Fake input and screenshots for the tests' seat_kwin, which KWin does not trust.
        KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 "$XDG_RUNTIME_DIR/kwin_wayland" \
            --virtual --xwayland --width 1280 --height 800 "$0 --session plasma-wayland" & ;;
    kde-x11 | plasma-wayland)
        if [ "$2" = kde-x11 ]; then kwin_x11 & else
            # The tests' X: Xwayland, not Xvfb.
            echo "export DISPLAY=$DISPLAY${XAUTHORITY:+ XAUTHORITY=$XAUTHORITY}" >"$TOVLAN_E2E_SCRATCH/x11.env"
            export QT_QPA_PLATFORM=wayland XDG_SESSION_TYPE=wayland
        fi
        dbus-update-activation-environment --all  # what plasmashell's services start with
        # An opaque panel: an adaptive one changes all over as the launcher leaves its edge.
        printf '[PlasmaViews][Panel 2]\npanelOpacity=1\n' >"$XDG_CONFIG_HOME/plasmashellrc"
        plasmashell &
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
            # Its Xwayland's display and key: the tests' X, not Xvfb.
            until xwayland=$(pgrep -a -P $! -x Xwayland) && x11=$(echo "$xwayland" | sed -E \
                's/^[0-9]+ [^ ]+ (:[0-9]+) .*-auth ([^ ]+).*/export DISPLAY=\1 XAUTHORITY=\2/') &&
                (eval "$x11" && xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"); do
                sleep 0.5
            done
            echo "$x11" >"$TOVLAN_E2E_SCRATCH/x11.env" ;;
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
[ $# -gt 0 ] || desktops=(kde-x11 kde-wayland gnome-x11 gnome-x11-appindicator gnome-wayland
    gnome-wayland-appindicator i3)
# The compositor's own input and screenshots where XTEST and the root window reach only Xwayland.
declare -A seats=([kde-wayland]=seat_kwin [gnome-wayland]=seat_mutter [gnome-wayland-appindicator]=seat_mutter)
for desktop in "${desktops[@]}"; do
    echo "== $desktop ($(date -u +%F))"
    TOVLAN_PROGRAM=$build/tovlan TOVLAN_E2E_DESKTOP=$desktop TOVLAN_E2E_WM="$0 --session $desktop" \
        TOVLAN_E2E_SEAT=${seats[$desktop]:-} \
        "$here/tests/e2e/desktop.sh" --timeout 300 -- /usr/bin/python3 -W ignore::DeprecationWarning \
        -m unittest -v test_desktop.WholeDesktopTest || status=1
done
exit $status
