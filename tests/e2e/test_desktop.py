"""What only a real X server shows: the launcher on top, flush with a corner of any screen, its
tray (XEmbed, StatusNotifierItem, none), the desktop's shell, the dialogs; no display at all."""

import json
import os
import shutil
import subprocess
import time
import unittest

from desktop import (DISPLAY, PROGRAM, ROOT, X11, DesktopTest, Geometry, accessible, atom, click, clients,
                     controls, corner_gaps, frame, geometry, has_state, hold, keys, other_window, pixels,
                     popups, press, prop, run, tray_icons, viewable, wait, windows_of, write_lines)
from gi.repository import Gio, GLib
import pyatspi

WAYLAND = {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": "wayland-tovlan-e2e"}
RIGHT = Geometry(640, 0, 640, 800)  # the primary monitor, right of another
# corner (1 top-left .. 4 bottom-right), Xft.dpi, environment, primary monitor; the plain screen last
SCREENS = [(1, 96, {}, None), (2, 96, {}, None), (3, 96, {}, None), (4, 96, {}, None),
           (1, 96, {}, RIGHT), (4, 96, {}, RIGHT), (4, 144, {}, None), (1, 192, {}, None),
           (4, 96, {"QT_SCALE_FACTOR": "2"}, None), (4, 96, WAYLAND, None)]
HERE = os.path.dirname(__file__)
WATCHER, ITEM, MENU = "org.kde.StatusNotifierWatcher", "org.kde.StatusNotifierItem", "com.canonical.dbusmenu"


def call(service, path, interface, method, signature=None, *args):
    return Gio.bus_get_sync(Gio.BusType.SESSION).call_sync(
        service, path, interface, method, signature and GLib.Variant(signature, args), None,
        Gio.DBusCallFlags.NONE, 5000, None).unpack()


def get(service, path, interface, name):
    return call(service, path, "org.freedesktop.DBus.Properties", "Get", "(ss)", interface, name)[0]


def registered_items():
    return get(WATCHER, "/StatusNotifierWatcher", WATCHER, "RegisteredStatusNotifierItems")


def start_trayer(test):
    test.helper("trayer", "--edge", "top", "--align", "right", "--widthtype", "request")
    wait(lambda: X11.XGetSelectionOwner(DISPLAY, atom("_NET_SYSTEM_TRAY_S0")))


def set_screen(dpi, monitor):
    subprocess.run(["xrdb", "-merge"], input=f"Xft.dpi: {dpi}\n", text=True, check=True)
    run("xrandr", "--delmonitor", "left", "--delmonitor", "right")
    if monitor:
        run("xrandr", "--setmonitor", "left", "640/170x800/212+0+0", "none",
            "--setmonitor", "*right", "640/170x800/212+640+0", "none", check=True)


def work_area(name="_NET_WORKAREA"):
    return (found := prop(ROOT, name)[:4]) and Geometry(*found)  # [] before the desktop sets it


def changed(before, after):
    """The middle of the leftmost pixels (30 columns) that differ between two pictures, so not a clock
    right of the icon; None where none does."""
    points = sorted((x, y) for y, rows in enumerate(zip(before, after)) for x, (a, b) in enumerate(zip(*rows)) if a != b)
    points = [point for point in points if point[0] < points[0][0] + 30]
    return points and tuple(sum(axis) // len(points) for axis in zip(*points))


class TrayTest(DesktopTest):
    """On a desktop with an XEmbed tray."""

    def setUp(self):
        super().setUp()
        start_trayer(self)
        self.notes = os.path.join(self.folder, "notes")

    def noting_script(self, name):
        """A program that notes its name, arguments, fds 0 to 2 and QT_NO_GLIB, then runs on a while."""
        with open(os.path.join(self.folder, name), "w") as script:
            script.write(f'#!/bin/sh\nfds=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n'
                         f'printf "%s\\n" "$0" "$@" "$fds" "QT_NO_GLIB=$QT_NO_GLIB" >{self.notes}.new\n'
                         f'mv {self.notes}.new {self.notes} && sleep 2\n')
        os.chmod(script.name, 0o755)
        return script.name

    def run_next(self, launcher):
        """Picks the name below the one shown, clicks 実行 and answers the started one's notes."""
        press(launcher.pid, "Tovlan", pyatspi.ROLE_COMBO_BOX)
        keys(None, "Down")
        press(launcher.pid, "Tovlan", pyatspi.ROLE_PUSH_BUTTON, "実行")
        with open(wait(lambda: os.path.exists(self.notes) and self.notes)) as notes:
            os.remove(self.notes)
            return notes.read().splitlines()

    def into_tray(self, launcher):
        """Presses Delete; the tray icon's area once the window has gone into the tray."""
        keys(launcher.window, "Delete")
        wait(lambda: viewable(launcher.window), False)
        return geometry(wait(lambda: tray_icons(launcher.pid))[0])

    def test_stays_above_other_windows_also_back_from_the_tray(self):
        launcher = self.launcher()
        x, y, width, height = frame(launcher.window)
        other = other_window((x - 50, y - 50, width + 100, height + 100))
        self.assertAbove(launcher, other)
        icon = self.into_tray(launcher)
        click(icon.x + 2, icon.y + 2)
        time.sleep(1)  # past the double-click time, so the next click starts afresh
        self.assertEqual((viewable(launcher.window), popups(launcher.pid)), (False, []),
                         "one click does nothing")
        click(icon.x + 2, icon.y + 2, repeat=2)
        wait(lambda: (viewable(launcher.window), tray_icons(launcher.pid)), (True, []))
        self.assertAbove(launcher, other)
        wait(lambda: corner_gaps(launcher.window, 4, geometry(ROOT)), (0, 0))
        icon = self.into_tray(launcher)
        run("xdotool", "mousemove", icon.x + 2, icon.y + 2, "mousedown", 3, "sleep", 0.3)
        self.assertEqual(popups(launcher.pid), [], "the menu waits for the release: Qt's icon window found")
        run("xdotool", "mouseup", 3)
        wait(lambda: popups(launcher.pid))
        keys(None, "Up", "Return")  # 閉じる, the last item
        self.assertEqual(launcher.process.wait(5), 0)

    def test_targets_open_through_the_desktops_shell_while_the_window_answers(self):
        handler = self.noting_script("handler.sh")
        write_lines(os.environ["XDG_DATA_HOME"] + "/applications/e2e.desktop",
                    ["[Desktop Entry]", "Type=Application", "Name=e2e", f"Exec={handler} %u"])
        write_lines(os.environ["XDG_CONFIG_HOME"] + "/mimeapps.list", ["[Default Applications]",
                    "text/plain=e2e.desktop", "x-scheme-handler/tovlan-e2e=e2e.desktop"])
        document = self.noting_script("議事録 メモ.txt")  # runnable, as on an exFAT or SMB mount
        program, url = self.noting_script("週報 作成.sh"), "tovlan-e2e:page?q=1"
        rows = [(program, [program]), (document, [handler, document]), (url, [handler, url])]
        # QT_NO_GLIB would stop Qt running GLib's loop, where GIO starts what it opens;
        # what the launcher starts gets the user's value back.
        launcher = self.launcher([(f"名前{n}", target) for n, (target, _) in enumerate(rows)],
                                 env={"QT_NO_GLIB": "1"})
        own = [os.readlink(f"/proc/{launcher.pid}/fd/{fd}") for fd in range(3)]
        for target, noted in rows:
            with self.subTest(target):
                self.assertEqual(self.run_next(launcher), noted + own + ["QT_NO_GLIB=1"],
                                 "started without pipes, with the user's Qt variables")
                asked = time.monotonic()
                accessible(launcher.pid, "Tovlan")
                self.assertLess(time.monotonic() - asked, 0.5, "the window answers at once")

    def test_dialogs_bring_the_launcher_back_with_its_list_reloaded(self):
        old, new = self.noting_script("old.sh"), self.noting_script("new.sh")
        for caption, button, menu_keys in (("オプション", "OK", ["Return"]),
                                           ("消去", "閉じる", ["Down", "Return"])):
            with self.subTest(caption):
                launcher = self.launcher([("古い", old)])
                keys(launcher.window, "shift+F10")
                wait(lambda: popups(launcher.pid))
                keys(None, "Down", "Down", "Down", "Right")  # 設定
                wait(lambda: len(popups(launcher.pid)), 2)
                keys(None, *menu_keys)
                names = [name for window in ("Tovlan", caption)
                         for _, name, _ in controls(accessible(launcher.pid, window))]
                self.assertNotIn("", names, "each control has its caption as accessible name")
                write_lines(self.list_path, ["新しい", new])
                press(launcher.pid, caption, pyatspi.ROLE_PUSH_BUTTON, button)
                wait(lambda: (viewable(launcher.window), windows_of(launcher.pid, caption)), (True, []))
                self.assertTrue(tray_icons(launcher.pid), "the icon stays in the tray")
                self.assertEqual(self.run_next(launcher)[0], new)


class DesktopsTest(DesktopTest):
    """On desktops without an XEmbed tray, or where a tray comes after the launcher."""

    def test_frame_is_flush_with_its_corner_on_every_screen(self):
        for corner, dpi, env, monitor in SCREENS:
            with self.subTest(corner=corner, dpi=dpi, env=env, monitor=monitor):
                set_screen(dpi, monitor)
                launcher = self.launcher(corner=corner, env=env)
                area = monitor or geometry(ROOT)
                wait(lambda: corner_gaps(launcher.window, corner, area), (0, 0))
                self.assertTrue(has_state(launcher.window, "ABOVE"), "kept on top")
                # The window grows with the screen: 3630 twips wide inside.
                scale = dpi * float(env.get("QT_SCALE_FACTOR", 1)) / 1440
                self.assertEqual(geometry(launcher.window).width, round(3630 * scale),
                                 "the DPI Qt took (QT_FONT_DPI, read once)")

    def test_follows_the_work_area_gnome_publishes_per_monitor(self):
        launcher, area = self.launcher(corner=1), Geometry(0, 32, 1280, 768)
        run("xprop", "-root", "-f", "_GTK_WORKAREAS_D0", "32c", "-set", "_GTK_WORKAREAS_D0", "0,32,1280,768")
        self.addCleanup(run, "xprop", "-root", "-remove", "_GTK_WORKAREAS_D0")
        wait(lambda: corner_gaps(launcher.window, 1, area), (0, 0))

    def test_without_a_display_one_line_says_so(self):
        for display in ({}, {"DISPLAY": ":65000"}):
            env = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
            result = subprocess.run([PROGRAM], env=env | WAYLAND | display, capture_output=True, text=True)
            self.assertEqual(result.returncode, 1)
            self.assertRegex(result.stderr, r"\ATovlan: 画面がありません [^\n]*\n\Z")

    def into_tray(self, launcher):  # its tray icon windows, or the bus name and path of its new item
        known = len(registered_items())
        keys(launcher.window, "Delete")
        icons, items = wait(lambda: (found := (tray_icons(launcher.pid), registered_items()[known:]))
                            and any(found) and not viewable(launcher.window) and found)
        self.assertEqual(len(icons) + len(items), 1, "one icon")
        return icons, items and items[0].replace("/", " /", 1).split()

    def tray_after_the_launcher(self, host_options=(), tried=True, trayer=True):
        """A tray or a watcher after the launcher, maybe after a first try without: one icon, the kind
        Qt made (Qt 6.4 picks once, at the first try, by the host; Qt 6.8 each time, by the watcher)."""
        launcher = self.launcher()
        if tried:  # no tray yet: minimised, not at once restored; back from the window list, on top
            keys(launcher.window, "Delete")
            wait(lambda: has_state(launcher.window, "HIDDEN"), True)
            time.sleep(0.2)
            self.assertFalse(viewable(launcher.window))
            run("xdotool", "windowactivate", "--sync", launcher.window)
            wait(lambda: corner_gaps(launcher.window, 4, geometry(ROOT)), (0, 0))
            self.assertTrue(has_state(launcher.window, "ABOVE"), "kept on top")
        trayer and start_trayer(self)
        host = self.helper("/usr/bin/python3", HERE + "/sni_host.py",
                           *host_options, stdout=subprocess.PIPE, text=True)
        self.assertEqual(host.stdout.readline(), "ready\n")
        icons, item = self.into_tray(launcher)
        spot = lambda: (geometry(icons[0]).x + 2, geometry(icons[0]).y + 2)  # trayer moves its icons
        if icons:
            run("xdotool", "mousemove", *spot(), "mousedown", 3, "sleep", 0.3)
            self.assertEqual(popups(launcher.pid), [], "no menu of Qt's own at the press")
            run("xdotool", "mouseup", 3)
        else:  # a host that only reports the click: the menu opens where it says (Qt's tray log)
            call(*item, ITEM, "ContextMenu", "(ii)", 300, 200)
        menus = wait(lambda: popups(launcher.pid))
        self.assertEqual(len(menus), 1, "one menu")
        icons or self.assertEqual(geometry(menus[0])[:2], (300, 200), "where the host asked, by Qt's log")
        keys(None, "Escape")
        click(*spot(), repeat=2) if icons else call(*item, ITEM, "Activate", "(ii)", 0, 0)
        wait(lambda: viewable(launcher.window), True)
        return launcher

    test_a_tray_after_the_launcher_holds_one_icon_with_one_menu = lambda self: self.tray_after_the_launcher()
    test_a_watcher_whose_host_comes_later_too = lambda self: self.tray_after_the_launcher(["--no-host"])

    def test_status_notifier_host_after_the_launcher_restores_and_ends_it(self):
        launcher = self.tray_after_the_launcher(tried=False, trayer=False)
        item = self.into_tray(launcher)[1]
        menu = get(*item, ITEM, "Menu")
        layout = call(item[0], menu, MENU, "GetLayout", "(iias)", 0, -1, [])[1][2]
        labels = {props["label"]: item_id for item_id, props, _ in layout if "label" in props}
        self.assertEqual(list(labels), ["戻す", "閉じる"])
        call(item[0], menu, MENU, "Event", "(isvu)", labels["閉じる"], "clicked", GLib.Variant("i", 0), 0)
        self.assertEqual(launcher.process.wait(5), 0)


class PanelTest(DesktopTest):
    """openbox and tint2 along the bottom: a panel that reserves its space, with an XEmbed tray."""
    panel, corner, restore_clicks, tray_width = ["tint2", "-c", HERE + "/tint2rc"], 4, 2, 1280

    def menu(self, launcher, *path):
        """Opens 設定 in the launcher's menu from the keys, then follows the path of keys."""
        keys(launcher.window, "shift+F10")
        wait(lambda: popups(launcher.pid))
        keys(None, "Down", "Down", "Down", "Right", *path)

    def test_flush_beside_the_panel_through_its_tray_and_dialogs(self):
        launcher, whole = self.launcher(corner=self.corner), geometry(ROOT)
        self.panel and self.helper(*self.panel, stderr=subprocess.DEVNULL)  # after the launcher, as at login
        area = wait(lambda: (found := self.work_area()) != whole and found, timeout=30)
        wait(lambda: corner_gaps(launcher.window, self.corner, area), (0, 0))
        for corner in (1, 2, 3, 4):
            self.menu(launcher, "Down", "Down", "Right", *["Down"] * (corner - 1), "Return")  # 位置
            wait(lambda: corner_gaps(launcher.window, corner, area), (0, 0))
        self.assertAbove(launcher, other_window(frame(launcher.window)))
        client = geometry(launcher.window)  # given more height than its controls: painted as its corner
        below = (client.x, client.y + client.height - 3, client.width, 3)
        client.height > 24 and wait(lambda: {pixel for row in pixels(below) for pixel in row}
                                    - {pixels(client[:2] + (1, 1))[0][0]}, set())
        self.menu(launcher, "Return")  # オプション
        dialog = wait(lambda: windows_of(launcher.pid, "オプション"))[0]
        doubled_centre = lambda g: (g.x * 2 + g.width, g.y * 2 + g.height)
        wait(lambda: max(abs(a - b) for a, b in zip(*map(doubled_centre, (frame(dialog), area)))) <= 2)
        keys(dialog, "Escape")
        strip = Geometry(whole.width - self.tray_width, 0, self.tray_width, area.y) if area.y else \
            Geometry(whole.width - self.tray_width, area.height, self.tray_width, whole.height - area.height)
        before = pixels(strip)
        for clicks in (self.restore_clicks, 0):  # restores, then quits through the menu
            keys(launcher.window, "Delete")  # mutter keeps a minimised window mapped
            wait(lambda: not viewable(launcher.window) or has_state(launcher.window, "HIDDEN"))
            if self.restore_clicks is None:  # no tray: minimised, restored as the window list would
                run("xdotool", "windowactivate", "--sync", launcher.window)
                wait(lambda: not has_state(launcher.window, "HIDDEN") and has_state(launcher.window, "ABOVE"))
                keys(launcher.window, "shift+F10")
                break
            if clicks:  # the icon in the panel, faded in
                wait(lambda: changed(before, pixels(strip)), timeout=10)
                time.sleep(1)
                x, y = changed(before, pixels(strip))
                if type(self) is PanelTest:  # the panel reserves more while the window is in its tray
                    panel = next(w for w in clients() if prop(w, "_NET_WM_STRUT_PARTIAL"))
                    run("xprop", "-id", panel, "-f", "_NET_WM_STRUT_PARTIAL", "32c", "-set",
                        "_NET_WM_STRUT_PARTIAL", "0, 0, 0, 60, 0, 0, 0, 0, 0, 0, 0, 1279")
                    area = wait(lambda: (found := self.work_area()) != area and found)
                click(strip.x + x, strip.y + y, repeat=clicks)
                wait(lambda: viewable(launcher.window), True)
                wait(lambda: corner_gaps(launcher.window, 4, area), (0, 0))  # the corner it was left in
        else:  # the launcher's menu, or the panel's own, which the keys reach alike
            time.sleep(1)
            hold(strip.x + x, strip.y + y, 3)
        time.sleep(1)
        keys(None, "Down", "Down", "Return") if self.restore_clicks else keys(None, "Up", "Return")  # 閉じる
        self.assertEqual(launcher.process.wait(5), 0)

    work_area = staticmethod(work_area)


class XfceTest(PanelTest):
    """xfwm4 and xfce4-panel along the top, whose notification area hosts StatusNotifierItems: a
    click activates; its menu is the panel's own, not on the accessibility bus."""
    panel, corner, restore_clicks = ["xfce4-panel"], 1, 1

    def setUp(self):
        super().setUp()
        config = os.environ["XDG_CONFIG_HOME"] + "/xfce4/xfconf/xfce-perchannel-xml"
        os.makedirs(config, exist_ok=True)
        shutil.copy(HERE + "/xfce4-panel.xml", config)


@unittest.skipUnless(os.environ.get("TOVLAN_E2E_DESKTOP"), "run by scripts/test-desktops.sh")
class WholeDesktopTest(PanelTest):
    """A whole desktop that scripts/test-desktops.sh started (TOVLAN_E2E_DESKTOP), not make test:
    its panel is up before the launcher, its tray is its own, near the right end of its panel."""
    desktop = os.environ.get("TOVLAN_E2E_DESKTOP", "")
    panel, corner, tray_width = None, 4, 400
    restore_clicks = {"kde-x11": 1, "kde-wayland": 1, "gnome-x11": None, "gnome-wayland": None}.get(desktop, 2)

    def setUp(self):
        super().setUp()
        wait(lambda: self.work_area() not in ([], geometry(ROOT)), timeout=60)
        time.sleep(5)  # for the panel and its tray to settle
        "gnome" in self.desktop and keys(None, "Escape")  # out of the overview GNOME starts in

    def work_area(self):  # GNOME's own per monitor; i3 publishes none but its workspace's
        if self.desktop == "i3":
            return Geometry(**json.loads(run("i3-msg", "-t", "get_workspaces"))[0]["rect"])
        return work_area("_GTK_WORKAREAS_D0" if "gnome" in self.desktop else "_NET_WORKAREA")
