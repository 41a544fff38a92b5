"""Runs the real launcher on the desktop that run-e2e.sh sets up.

Each run gets a fresh folder with its own copy of the program, because the
launcher reads its settings file from the folder it lives in.
"""

import os
import shutil
import stat
import subprocess
import tempfile
import time
import unittest

import pyatspi

from accessible import (POPUP_MENUS, accessible_application, child_named, click, find_all,
                        menu_items, submenu_of)
from xdesktop import (Geometry, TimedOut, click_window, is_viewable, managed_windows_of,
                      outer_geometry, press_keys, run, screen_size, tray_icons, wait_until,
                      window_geometry, window_title)

PROGRAM = os.environ.get("TOVLAN_PROGRAM", "")
SCRATCH = os.environ.get("TOVLAN_E2E_SCRATCH") or tempfile.gettempdir()
SETTINGS_NAME = "設定.ini"


# corner code: menu caption, whether the window hugs the left edge, the top edge
CORNERS = {1: ("左上", True, True), 2: ("左下", True, False),
           3: ("右上", False, True), 4: ("右下", False, False)}


def text_file_bytes(lines):
    """A text file as the launcher's files are: code page 932, CR LF after every line."""
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def list_file_bytes(entries):
    """entries: (display name, target path) pairs, in file order."""
    return text_file_bytes([value for entry in entries for value in entry])


def settings_file_bytes(startup_list="", quick_files=("", "", "", ""), corner=""):
    """corner: a code 1-4 written as the launcher writes numbers (" 4 "), or raw text."""
    corner_line = f" {corner} " if isinstance(corner, int) else corner
    lines = []
    for quick_file in quick_files:
        lines += [startup_list, quick_file, corner_line]
    return text_file_bytes(lines)


def write_list(path, entries):
    with open(path, "wb") as file:
        file.write(list_file_bytes(entries))


def write_settings(folder, **values):
    """values: as settings_file_bytes takes them."""
    with open(os.path.join(folder, SETTINGS_NAME), "wb") as file:
        file.write(settings_file_bytes(**values))


def read_bytes(path):
    """The file's bytes, or None while it does not exist."""
    try:
        with open(path, "rb") as file:
            return file.read()
    except FileNotFoundError:
        return None


def gaps_to_corner(window, corner, monitor=None):
    """Pixels between the window's outer frame and the corner's two edges of the
    monitor (a Geometry), by default of the whole screen."""
    _, left, top = CORNERS[corner]
    area = monitor or Geometry(0, 0, *screen_size())
    frame = outer_geometry(window)
    return (frame.x - area.x if left else area.right - frame.right,
            frame.y - area.y if top else area.bottom - frame.bottom)


class Launcher:
    """One run of the launcher from its own copy in a fresh folder."""

    def __init__(self, folder, env=None):
        """env: the program's whole environment, by default this process's."""
        self.folder = folder
        self.env = env
        self.path = os.path.join(folder, os.path.basename(PROGRAM))
        shutil.copy2(PROGRAM, self.path)
        self.process = None
        self._window = 0

    def start(self, timeout=10.0):
        self.process = subprocess.Popen([self.path], cwd=self.folder, env=self.env)
        self._window = wait_until(self._find_main_window, timeout, "the launcher window")
        return self

    def _find_main_window(self):
        if self.process.poll() is not None:
            raise AssertionError(f"the launcher exited with {self.process.returncode}")
        return next((w for w in managed_windows_of(self.pid) if is_viewable(w)), 0)

    @property
    def pid(self):
        return self.process.pid

    @property
    def window(self):
        """The main window; its id stays valid while the launcher hides it in the tray."""
        return self._window

    def application(self, timeout=5.0):
        return wait_until(lambda: accessible_application(self.pid), timeout,
                          "the launcher on the accessibility bus")

    def find(self, role, name=None, timeout=5.0, showing_only=True, within=None):
        """Waits for the first accessible of that role (and name) in the launcher's
        windows, or only in the window with the caption within."""
        def probe():
            top = self.application() if within is None else self.top_level(within)
            found = find_all(top, role, name, showing_only) if top else []
            return found[0] if found else None
        return wait_until(probe, timeout, f"{role} named {name!r}")

    def top_level(self, caption):
        """The accessible of the program's window with that caption, or None."""
        return next((child for child in self.application()
                     if child is not None and child.name == caption), None)

    def window_titled(self, caption, timeout=5.0):
        """Waits for the program's window with that caption to be on screen; its X id."""
        def probe():
            return next((w for w in managed_windows_of(self.pid)
                         if window_title(w) == caption and is_viewable(w)), 0)
        return wait_until(probe, timeout, f"the window {caption!r}")

    def has_window_titled(self, caption):
        return any(window_title(w) == caption for w in managed_windows_of(self.pid))

    def tray_icons(self):
        return tray_icons(self.pid)

    def tray_icon(self, timeout=5.0):
        """Waits for the launcher's one tray icon to be on screen, ready for clicks; its X id."""
        def on_screen():
            icons = self.tray_icons()
            return icons if all(map(is_viewable, icons)) else []
        icons = wait_until(on_screen, timeout, "a tray icon")
        if len(icons) != 1:
            raise AssertionError(f"{len(icons)} tray icons instead of one")
        return icons[0]

    def open_popup_menu(self, widget, timeout=5.0):
        """Right-clicks the widget and returns the popup menu that opens."""
        return self._popup_menu_opened_by(lambda: click(widget, button=3), timeout)

    def open_popup_menu_by_keys(self, *keys, timeout=5.0):
        """Presses the keys in the launcher window and returns the popup menu that opens."""
        return self._popup_menu_opened_by(lambda: press_keys(self.window, *keys), timeout)

    def open_tray_menu(self, timeout=5.0):
        """Right-clicks the tray icon and returns the menu that opens; fails if the
        menu opens while the button is still down."""
        icon = self.tray_icon(timeout)
        frame = window_geometry(icon)
        run("xdotool", "mousemove", str(frame.x + frame.width // 2),
            str(frame.y + frame.height // 2), "mousedown", "3")
        time.sleep(0.3)
        self.round_trip()
        if self.popup_menus():
            run("xdotool", "mouseup", "3")
            raise AssertionError("the tray menu opened on the press alone")
        return self._popup_menu_opened_by(lambda: run("xdotool", "mouseup", "3"), timeout)

    def _popup_menu_opened_by(self, action, timeout):
        before = self.popup_menus()
        action()
        return wait_until(lambda: next((m for m in self.popup_menus() if m not in before), None),
                          timeout, "a popup menu")

    def choose_menu_item(self, menu, *path, timeout=5.0):
        """Clicks the item at path in an open menu, e.g. ("設定", "位置", "左下"), opening
        the submenus on the way as a user does; returns once every menu has closed."""
        for name in path[:-1]:
            menu = self.open_submenu(menu, name, timeout)
        click(child_named(menu, path[-1]))
        wait_until(lambda: not self.popup_menus(), timeout, "the menus to close")

    def popup_menus(self):
        """The launcher's menus on screen, the one opened last at the end."""
        return POPUP_MENUS.showing(self.pid)

    def read_popup_menu(self, widget, *path):
        """Items of the widget's popup menu, or of its submenu at path, e.g. ("設定", "位置");
        the menu is closed again before this returns."""
        menu = self.open_popup_menu(widget)
        try:
            for name in path:
                menu = submenu_of(menu, name)
            return menu_items(menu)
        finally:
            self.close_popup_menus()

    def close_popup_menus(self, timeout=5.0):
        """Escape, one menu level at a time, so no stray Escape reaches a window below.
        Fails if a menu opens again meanwhile: the user could not get rid of it."""
        shows = POPUP_MENUS.shows(self.pid)

        def closed_or_reopened(count):
            return len(self.popup_menus()) < count or POPUP_MENUS.shows(self.pid) > shows
        while self.popup_menus():
            count = len(self.popup_menus())
            run("xdotool", "key", "Escape")
            wait_until(lambda: closed_or_reopened(count), timeout, "a popup menu to close")
            self.round_trip()
            if POPUP_MENUS.shows(self.pid) > shows:
                raise AssertionError("a popup menu opened again when Escape closed it")

    def round_trip(self):
        """Returns once the launcher has answered a call, so that whatever it announced
        before, such as a menu that opened, has arrived here too."""
        self.application().getChildAtIndex(0).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)

    def open_submenu(self, menu, name, timeout=5.0):
        """Clicks the submenu item of an open menu and returns the submenu once it shows."""
        submenu = submenu_of(menu, name)
        click(child_named(menu, name))
        return wait_until(lambda: submenu in self.popup_menus() and submenu, timeout,
                          f"submenu {name!r}")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def wait_for_exit(self, timeout=5.0):
        """The exit status, once the program has ended by itself."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TimedOut(f"the launcher still runs after {timeout} s") from None

    def stop(self):
        if self.process is None or self.process.poll() is not None:
            return
        self.process.terminate()
        try:
            self.process.wait(3)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class LauncherTestCase(unittest.TestCase):
    """Gives each test a fresh program folder with a list file and a marker file for
    its targets; the launcher started there is stopped after it."""

    def setUp(self):
        if not PROGRAM:
            self.skipTest("TOVLAN_PROGRAM is not set; run through run-e2e.sh")
        self.folder = self.new_folder()
        self.list_path = os.path.join(self.folder, "仕事.xxa")
        self.marker = os.path.join(self.folder, "started-target")

    def start_with(self, entries, corner=4, quick_files=("", "", "", "")):
        """Starts the launcher on a list of (name, target) entries, in the corner given."""
        write_list(self.list_path, entries)
        write_settings(self.folder, startup_list=self.list_path, quick_files=quick_files,
                       corner=corner)
        return self.start_launcher()

    def target_script(self, file_name):
        """A program that notes which program it is in the marker file when started."""
        path = os.path.join(self.folder, file_name)
        with open(path, "w", encoding="utf-8") as script:
            script.write(f'#!/bin/sh\nprintf %s "$0" > "{self.marker}"\n')
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        return path

    def started_target(self):
        """What the last target started wrote into the marker file; None before any."""
        try:
            with open(self.marker, encoding="utf-8") as marker:
                return marker.read()
        except FileNotFoundError:
            return None

    def new_folder(self):
        return tempfile.mkdtemp(prefix="case-", dir=SCRATCH)

    def start_launcher(self, folder=None, env=None):
        """Starts the launcher from folder (the test's own by default); stopped after the
        test, or earlier when used as a context manager."""
        launcher = Launcher(folder or self.folder, env)
        self.addCleanup(launcher.stop)
        return launcher.start()

    def assertEventually(self, probe, expected, msg=None, timeout=5.0):
        """Polls until probe() == expected; on time-out fails showing the last value seen."""
        last = []

        def matches():
            last[:] = [probe()]
            return last[0] == expected
        try:
            wait_until(matches, timeout)
            return
        except TimedOut:
            pass
        self.assertEqual(last[0], expected, msg or f"still so after {timeout} s")
