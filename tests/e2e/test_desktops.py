"""The launcher on desktops unlike the usual one: two monitors, scaled screens,
no system tray at all, a StatusNotifierItem host in place of an XEmbed tray,
and a Wayland session's environment. The desktop has no trayer here
(TOVLAN_E2E_TRAY=none); the tests that want a tray host bring their own."""

import os
import subprocess
import time
import unittest

import pyatspi
from gi.repository import Gio, GLib

from tovlan_e2e import LauncherTestCase, gaps_to_corner, write_settings
from xdesktop import (activate_window, is_viewable, net_wm_state, press_keys,
                      primary_monitor, run, wait_until, window_geometry)

HERE = os.path.dirname(os.path.abspath(__file__))
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"


def call(service, path, interface, method, signature=None, *args):
    """A method call on the session bus, as a panel makes it; the unpacked reply."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    reply = bus.call_sync(service, path, interface, method,
                          GLib.Variant(signature, args) if signature else None,
                          None, Gio.DBusCallFlags.NONE, 5000, None)
    return reply.unpack() if reply else ()


def get_property(service, path, interface, name):
    return call(service, path, "org.freedesktop.DBus.Properties", "Get", "(ss)",
                interface, name)[0]


class DesktopsTest(LauncherTestCase):
    def start_in_corner(self, corner, env=None):
        folder = self.new_folder()
        write_settings(folder, corner=corner)
        return self.start_launcher(folder, env)

    def assert_flush(self, launcher, corner, monitor=None):
        self.assertEventually(lambda: gaps_to_corner(launcher.window, corner, monitor), (0, 0),
                              f"pixels between the frame and the edges of corner {corner}")

    def test_corners_are_flush_in_the_primary_monitor_right_of_another(self):
        run("xrandr", "--setmonitor", "left", "640/170x800/212+0+0", "none")
        run("xrandr", "--setmonitor", "*right", "640/170x800/212+640+0", "none")
        self.addCleanup(run, "xrandr", "--delmonitor", "left")
        self.addCleanup(run, "xrandr", "--delmonitor", "right")
        right = primary_monitor()
        self.assertEqual(right.x, 640)
        for corner in (1, 4):
            with self.subTest(corner=corner), self.start_in_corner(corner) as launcher:
                self.assert_flush(launcher, corner, right)

    def test_corners_are_flush_on_scaled_screens(self):
        self.addCleanup(run, "xrdb", "-remove")
        # Xft.dpi as a desktop's scaling setting writes it, or Qt's own factor.
        for dpi, env in ((144, None), (192, None), (192, {"QT_SCALE_FACTOR": "2"})):
            run("xrdb", "-remove")
            if env is None:
                subprocess.run(["xrdb", "-merge"], input=f"Xft.dpi: {dpi}\n", text=True,
                               check=True)
            for corner in (1, 4):
                with self.subTest(dpi=dpi, env=env, corner=corner), \
                        self.start_in_corner(corner, dict(os.environ, **(env or {}))) as launcher:
                    self.assert_flush(launcher, corner)
                    # The window grows with the screen: 3630 twips wide inside.
                    self.assertEqual(window_geometry(launcher.window).width,
                                     round(3630 * dpi / 1440))

    def test_tray_mode_without_a_tray_ends_minimised_every_time(self):
        launcher = self.start_in_corner(4)
        for attempt in range(10):
            with self.subTest(attempt=attempt):
                press_keys(launcher.window, "Delete")
                self.assertEventually(lambda: "_NET_WM_STATE_HIDDEN" in net_wm_state(launcher.window),
                                      True, "minimised")
                # The fault was a window mapped iconic and at once restored.
                time.sleep(0.2)
                self.assertFalse(is_viewable(launcher.window), "stays minimised")
                activate_window(launcher.window)  # as the window list does
                self.assertEventually(lambda: is_viewable(launcher.window), True, "restored")
                self.assertIn("_NET_WM_STATE_ABOVE", net_wm_state(launcher.window))
                self.assert_flush(launcher, 4)

    def test_status_notifier_host_shows_the_items_menu(self):
        host = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "sni_host.py")],
                                stdout=subprocess.PIPE, text=True)
        self.addCleanup(host.wait)
        self.addCleanup(host.terminate)
        self.assertEqual(host.stdout.readline().strip(), "ready")
        launcher = self.start_in_corner(4)

        def enter_tray():
            press_keys(launcher.window, "Delete")
            self.assertEventually(lambda: is_viewable(launcher.window), False, "in the tray")
            items = wait_until(lambda: get_property("org.kde.StatusNotifierWatcher",
                                                    "/StatusNotifierWatcher",
                                                    "org.kde.StatusNotifierWatcher",
                                                    "RegisteredStatusNotifierItems"),
                               5.0, "the item to register")
            self.assertEqual(len(items), 1)
            return items[0].split("/", 1)[0], "/" + items[0].split("/", 1)[1]

        service, path = enter_tray()
        menu_path = get_property(service, path, ITEM, "Menu")
        call(service, menu_path, MENU, "AboutToShow", "(i)", 0)
        _, (_, _, children) = call(service, menu_path, MENU, "GetLayout", "(iias)", 0, -1, [])
        items = {props.get("label"): item_id for item_id, props, _ in children
                 if props.get("type") != "separator"}
        self.assertEqual(list(items), ["戻す", "閉じる"])

        def click_item(label):
            call(service, menu_path, MENU, "Event", "(isvu)", items[label], "clicked",
                 GLib.Variant("i", 0), 0)

        click_item("戻す")
        self.assertEventually(lambda: is_viewable(launcher.window), True, "戻す restores")
        service, path = enter_tray()
        call(service, path, ITEM, "Activate", "(ii)", 0, 0)
        self.assertEventually(lambda: is_viewable(launcher.window), True, "Activate restores")
        self.assertIn("_NET_WM_STATE_ABOVE", net_wm_state(launcher.window))

        service, path = enter_tray()
        # A host that only reports the click: the menu opens where the host says.
        call(service, path, ITEM, "ContextMenu", "(ii)", 300, 200)
        menu = wait_until(lambda: launcher.popup_menus(), 5.0, "the tray menu")[-1]
        extents = menu.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.assertEqual((extents.x, extents.y), (300, 200))
        launcher.close_popup_menus()

        click_item("閉じる")
        self.assertEqual(launcher.wait_for_exit(), 0, "閉じる ends the program")

    def test_wayland_session_runs_through_xwayland(self):
        env = dict(os.environ, QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY="wayland-tovlan-e2e")
        with self.start_in_corner(4, env) as launcher:
            self.assert_flush(launcher, 4)
            self.assertIn("_NET_WM_STATE_ABOVE", net_wm_state(launcher.window))

        no_display = {k: v for k, v in env.items() if k != "DISPLAY"}
        for case, case_env in (("no DISPLAY", no_display),
                               ("DISPLAY without a server", dict(env, DISPLAY=":65000"))):
            with self.subTest(case):
                result = subprocess.run([os.environ["TOVLAN_PROGRAM"]], env=case_env,
                                        capture_output=True, text=True, timeout=10)
                self.assertEqual(result.returncode, 1)
                self.assertRegex(result.stderr, r"\ATovlan: 画面がありません [^\n]*\n\Z")


if __name__ == "__main__":
    unittest.main()
