"""Runs the real launcher on the desktop that run-e2e.sh sets up.

Each run gets a fresh folder with its own copy of the program, because the
launcher reads its settings file from the folder it lives in.
"""

import os
import shutil
import subprocess
import tempfile
import unittest

import pyatspi

from accessible import POPUP_MENUS, accessible_application, click, find_all, menu_items, submenu_of
from xdesktop import TimedOut, is_viewable, managed_windows_of, run, wait_until

PROGRAM = os.environ.get("TOVLAN_PROGRAM", "")
SCRATCH = os.environ.get("TOVLAN_E2E_SCRATCH") or tempfile.gettempdir()
SETTINGS_NAME = "設定.ini"


def write_lines(path, lines):
    """Writes a text file as the launcher's files are: code page 932, CR LF after every line."""
    with open(path, "wb") as file:
        file.write("".join(line + "\r\n" for line in lines).encode("cp932"))


def write_list(path, entries):
    """entries: (display name, target path) pairs, in file order."""
    write_lines(path, [value for entry in entries for value in entry])


def write_settings(folder, startup_list="", quick_files=("", "", "", ""), corner=""):
    """corner: a code 1-4 written as the launcher writes numbers (" 4 "), or raw text."""
    corner_line = f" {corner} " if isinstance(corner, int) else corner
    lines = []
    for quick_file in quick_files:
        lines += [startup_list, quick_file, corner_line]
    write_lines(os.path.join(folder, SETTINGS_NAME), lines)


class Launcher:
    """One run of the launcher from its own copy in a fresh folder."""

    def __init__(self, folder):
        self.folder = folder
        self.path = os.path.join(folder, os.path.basename(PROGRAM))
        shutil.copy2(PROGRAM, self.path)
        self.process = None
        self._window = 0

    def start(self, timeout=10.0):
        self.process = subprocess.Popen([self.path], cwd=self.folder)
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

    def find(self, role, name=None, timeout=5.0, showing_only=True):
        """Waits for the first accessible of that role (and name) in the launcher."""
        def probe():
            found = find_all(self.application(), role, name, showing_only)
            return found[0] if found else None
        return wait_until(probe, timeout, f"{role} named {name!r}")

    def open_popup_menu(self, widget, timeout=5.0):
        """Right-clicks the widget and returns the popup menu that opens."""
        before = self.popup_menus()
        click(widget, button=3)
        return wait_until(lambda: next((m for m in self.popup_menus() if m not in before), None),
                          timeout, "a popup menu")

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
        click(next(child for child in menu if child is not None and child.name == name))
        return wait_until(lambda: submenu in self.popup_menus() and submenu, timeout,
                          f"submenu {name!r}")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

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
    """Gives each test a fresh program folder; the launcher started there is stopped after it."""

    def setUp(self):
        if not PROGRAM:
            self.skipTest("TOVLAN_PROGRAM is not set; run through run-e2e.sh")
        self.folder = self.new_folder()

    def new_folder(self):
        return tempfile.mkdtemp(prefix="case-", dir=SCRATCH)

    def start_launcher(self, folder=None):
        """Starts the launcher from folder (the test's own by default); stopped after the
        test, or earlier when used as a context manager."""
        launcher = Launcher(folder or self.folder)
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
