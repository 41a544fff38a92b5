"""The launcher on desktops unlike the usual: two monitors, scaled screens, a Wayland
session, no display, no tray, a StatusNotifierItem host in place of a tray."""

import os
import subprocess
import time

from desktop import (PROGRAM, ROOT, DesktopTest, Geometry, corner_gaps, geometry, has_state, keys,
                     popups, viewable, wait, xdotool)
from gi.repository import Gio, GLib

WAYLAND = {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": "wayland-tovlan-e2e"}
RIGHT = Geometry(640, 0, 640, 800)  # the primary monitor, right of another
# corner (1 top-left .. 4 bottom-right), Xft.dpi, environment, primary monitor
SCREENS = [(1, 96, {}, None), (2, 96, {}, None), (3, 96, {}, None), (4, 96, {}, None),
           (1, 96, {}, RIGHT), (4, 96, {}, RIGHT), (4, 144, {}, None), (1, 192, {}, None),
           (4, 96, {"QT_SCALE_FACTOR": "2"}, None), (4, 96, WAYLAND, None)]
ITEM, MENU = "org.kde.StatusNotifierItem", "com.canonical.dbusmenu"


def call(service, path, interface, method, signature=None, *args):
    """A call on the session bus, as a panel makes it; the unpacked reply."""
    return Gio.bus_get_sync(Gio.BusType.SESSION).call_sync(
        service, path, interface, method, signature and GLib.Variant(signature, args), None,
        Gio.DBusCallFlags.NONE, 5000, None).unpack()


def set_screen(dpi, monitor):
    subprocess.run(["xrdb", "-merge"], input=f"Xft.dpi: {dpi}\n", text=True, check=True)
    for name in ("left", "right"):
        subprocess.run(["xrandr", "--delmonitor", name], capture_output=True)
    for name, x in (("left", 0), ("*right", 640)) if monitor else ():
        subprocess.run(["xrandr", "--setmonitor", name, f"640/170x800/212+{x}+0", "none"])


class DesktopsTest(DesktopTest):
    def test_frame_is_flush_with_its_corner_on_every_screen(self):
        self.addCleanup(set_screen, 96, None)
        for corner, dpi, env, monitor in SCREENS:
            with self.subTest(corner=corner, dpi=dpi, env=env, monitor=monitor):
                set_screen(dpi, monitor)
                launcher = self.launcher(corner=corner, env=env)
                area = monitor or geometry(ROOT)
                wait(lambda: corner_gaps(launcher.window, corner, area), (0, 0))
                self.assertTrue(has_state(launcher.window, "ABOVE"))
                # The window grows with the screen: 3630 twips wide inside.
                scale = dpi * float(env.get("QT_SCALE_FACTOR", 1)) / 1440
                self.assertEqual(geometry(launcher.window).width, round(3630 * scale))
                launcher.stop()

    def test_without_a_display_one_line_says_so(self):
        for display in ("", ":65000"):
            env = {**os.environ, **WAYLAND, "DISPLAY": display}
            result = subprocess.run([PROGRAM], capture_output=True, text=True, timeout=10,
                                    env={name: value for name, value in env.items() if value})
            self.assertEqual(result.returncode, 1)
            self.assertRegex(result.stderr, r"\ATovlan: 画面がありません [^\n]*\n\Z")

    def test_without_a_tray_the_window_minimises_and_comes_back_on_top(self):
        launcher = self.launcher()
        for _ in range(3):  # the fault was a window minimised, then at once restored
            keys(launcher.window, "Delete")
            wait(lambda: has_state(launcher.window, "HIDDEN"), True)
            time.sleep(0.2)
            self.assertFalse(viewable(launcher.window))
            xdotool("windowactivate", launcher.window)  # as the window list does
            wait(lambda: (viewable(launcher.window), corner_gaps(
                launcher.window, 4, geometry(ROOT))), (True, (0, 0)))
            self.assertTrue(has_state(launcher.window, "ABOVE"))

    def test_status_notifier_host_restores_and_ends_it(self):
        host = self.helper("/usr/bin/python3", os.path.join(os.path.dirname(__file__), "sni_host.py"),
                           stdout=subprocess.PIPE, text=True)
        self.assertEqual(host.stdout.readline(), "ready\n")
        launcher = self.launcher()

        def into_tray():
            """The item's bus name and path, once it has registered."""
            keys(launcher.window, "Delete")
            wait(lambda: viewable(launcher.window), False)
            watcher = ("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher")
            return wait(lambda: call(*watcher, "org.freedesktop.DBus.Properties", "Get", "(ss)",
                                     watcher[0], "RegisteredStatusNotifierItems")[0])[-1].replace("/", " /", 1).split()

        call(*into_tray(), ITEM, "Activate", "(ii)", 0, 0)
        wait(lambda: viewable(launcher.window), True)
        item = into_tray()
        # A host that only reports the click: the menu opens where it says.
        call(*item, ITEM, "ContextMenu", "(ii)", 300, 200)
        self.assertEqual(geometry(wait(lambda: popups(launcher.pid))[0])[:2], (300, 200))
        keys(None, "Escape")
        menu = call(*item, "org.freedesktop.DBus.Properties", "Get", "(ss)", ITEM, "Menu")[0]
        call(item[0], menu, MENU, "AboutToShow", "(i)", 0)
        layout = call(item[0], menu, MENU, "GetLayout", "(iias)", 0, -1, [])[1][2]
        labels = {props["label"]: item_id for item_id, props, _ in layout if "label" in props}
        self.assertEqual(list(labels), ["戻す", "閉じる"])
        call(item[0], menu, MENU, "Event", "(isvu)", labels["閉じる"], "clicked",
             GLib.Variant("i", 0), 0)
        self.assertEqual(launcher.process.wait(5), 0)
