"""The launcher at work as a user drives it: running a picked shortcut, the popup
menu's corner command, and tray mode with its ways in and out."""

import os
import stat
import unittest

import pyatspi

from accessible import child_named, click, combo_items, menu_items, pick_combo_item
from tovlan_e2e import (SETTINGS_NAME, LauncherTestCase, gaps_to_corner, read_bytes,
                        settings_file_bytes, write_list, write_settings)
from xdesktop import click_window, is_viewable, press_keys, tray_contents

NAMES = ["メモ帳", "①議事録～下書き", "週報を作る"]
# The third target's file name has a space and Japanese in it: the shell must get
# the path whole, not split or mangled.
TARGET_FILES = ["first.sh", "second.sh", "週報 作成.sh"]
TOP_LEVEL_ITEMS = ["新規作成", "開く", "設定", "閉じる"]


class LauncherTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.list_path = os.path.join(self.folder, "仕事.xxa")
        self.marker = os.path.join(self.folder, "started-target")

    def start_with(self, entries, corner=4, quick_files=("", "", "", "")):
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
        try:
            with open(self.marker, encoding="utf-8") as marker:
                return marker.read()
        except FileNotFoundError:
            return None

    def test_run_starts_the_target_of_the_picked_name(self):
        targets = [self.target_script(name) for name in TARGET_FILES]
        launcher = self.start_with(list(zip(NAMES, targets)))
        pick_combo_item(launcher.find(pyatspi.ROLE_COMBO_BOX), NAMES[2])
        click(launcher.find(pyatspi.ROLE_PUSH_BUTTON, "実行"))
        self.assertEventually(self.started_target, targets[2])
        self.assertTrue(is_viewable(launcher.window), "the launcher stays on screen")

    def test_corner_item_moves_the_window_and_saves_the_corner(self):
        quick_files = ("", "予備 リスト.xxa", "", "")
        launcher = self.start_with(list(zip(NAMES, TARGET_FILES)), corner=4,
                                   quick_files=quick_files)
        button = launcher.find(pyatspi.ROLE_PUSH_BUTTON, "実行")
        menu = launcher.open_popup_menu(button)
        self.assertEqual([item.name for item in menu_items(menu) if item.showing],
                         TOP_LEVEL_ITEMS)
        launcher.choose_menu_item(menu, "設定", "位置", "左下")

        self.assertEventually(lambda: gaps_to_corner(launcher.window, 2), (0, 0),
                              "pixels between the outer frame and the bottom-left edges")
        # Only the corner lines change; the paths come back in code page 932 as they were.
        self.assertEventually(
            lambda: read_bytes(os.path.join(self.folder, SETTINGS_NAME)),
            settings_file_bytes(startup_list=self.list_path, quick_files=quick_files, corner=2))
        ticked = [item.name for item in launcher.read_popup_menu(button, "設定", "位置")
                  if item.checked]
        self.assertEqual(ticked, ["左下"])

    def test_tray_icon_restores_the_window_and_quits(self):
        tray_before = tray_contents()
        launcher = self.start_with(list(zip(NAMES, TARGET_FILES)), corner=4)

        press_keys(launcher.window, "Delete")
        icon = launcher.tray_icon()
        self.assertEventually(lambda: is_viewable(launcher.window), False, "hidden in the tray")

        click_window(icon, repeat=2)
        self.assertEventually(lambda: is_viewable(launcher.window), True, "back from the tray")
        self.assertEventually(launcher.tray_icons, [], "the icon goes when the window is back")
        self.assertEventually(lambda: gaps_to_corner(launcher.window, 4), (0, 0),
                              "the window is back in its corner")

        press_keys(launcher.window, "Delete")
        menu = launcher.open_tray_menu()
        self.assertEqual([item.name for item in menu_items(menu)], ["戻す", "閉じる"])
        click(child_named(menu, "閉じる"))
        self.assertEqual(launcher.wait_for_exit(), 0, "the program ends normally")
        self.assertEventually(tray_contents, tray_before, "no icon is left in the tray")

    def test_close_request_keeps_the_program_in_the_tray_with_the_list_reloaded(self):
        launcher = self.start_with(list(zip(NAMES[:2], TARGET_FILES)))
        # Another window or program changes the list meanwhile.
        write_list(self.list_path, list(zip(NAMES, TARGET_FILES)))

        press_keys(launcher.window, "alt+F4")
        launcher.tray_icon()
        self.assertEventually(lambda: is_viewable(launcher.window), False, "hidden in the tray")
        self.assertIsNone(launcher.process.poll(), "the program still runs")
        combo = launcher.find(pyatspi.ROLE_COMBO_BOX, showing_only=False)
        self.assertEventually(lambda: combo_items(combo), NAMES)


if __name__ == "__main__":
    unittest.main()
