"""The launcher at work as a user drives it: running a picked shortcut, opening
documents and desktop entries through the desktop's handler, the popup menu's
corner command, and tray mode with its ways in and out."""

import os
import time
import unittest

import pyatspi

from accessible import child_named, click, combo_items, menu_items, pick_combo_item
from tovlan_e2e import (SETTINGS_NAME, LauncherTestCase, gaps_to_corner, read_bytes,
                        settings_file_bytes, write_list)
from xdesktop import click_window, is_viewable, press_keys, tray_contents

NAMES = ["メモ帳", "①議事録～下書き", "週報を作る"]
# The third target's file name has a space and Japanese in it: the shell must get
# the path whole, not split or mangled.
TARGET_FILES = ["first.sh", "second.sh", "週報 作成.sh"]
TOP_LEVEL_ITEMS = ["新規作成", "開く", "設定", "閉じる"]


class LauncherTest(LauncherTestCase):
    def test_run_starts_the_target_of_the_picked_name(self):
        targets = [self.target_script(name) for name in TARGET_FILES]
        launcher = self.start_with(list(zip(NAMES, targets)))
        pick_combo_item(launcher.find(pyatspi.ROLE_COMBO_BOX), NAMES[2])
        click(launcher.find(pyatspi.ROLE_PUSH_BUTTON, "実行"))
        self.assertEventually(self.started_target, targets[2])
        self.assertTrue(is_viewable(launcher.window), "the launcher stays on screen")

    def text_handler(self):
        """A program named in mimeapps.list as the handler of text documents. It notes
        its argument and what its standard error is, writes to that a second later, as
        a program that logs does, and notes that it lived through that."""
        script = os.path.join(self.folder, "handler.sh")
        with open(script, "w", encoding="utf-8") as handler:
            handler.write(f'#!/bin/sh\nout="{self.marker}"\n'
                          'printf "%s\\n" "$1" "$(readlink /proc/$$/fd/2)" > "$out.tmp"\n'
                          'mv "$out.tmp" "$out"\nsleep 1\n'
                          'echo "handler: still running" >&2 && echo survived >> "$out"\n')
        os.chmod(script, 0o755)
        applications = os.path.join(os.environ["XDG_DATA_HOME"], "applications")
        os.makedirs(applications, exist_ok=True)
        with open(os.path.join(applications, "tovlan-e2e-text.desktop"), "w") as entry:
            entry.write("[Desktop Entry]\nType=Application\nName=Handler\n"
                        f"Exec={script} %f\nMimeType=text/plain;\n")
        mimeapps = os.path.join(os.environ["XDG_CONFIG_HOME"], "mimeapps.list")
        with open(mimeapps, "w") as defaults:
            defaults.write("[Default Applications]\ntext/plain=tovlan-e2e-text.desktop\n")
        self.addCleanup(os.remove, mimeapps)
        return script

    def handler_notes(self):
        return (self.started_target() or "").splitlines()

    def test_documents_and_desktop_entries_open_through_the_desktops_handler(self):
        handler = self.text_handler()
        document = os.path.join(self.folder, "議事録 メモ.txt")
        with open(document, "w", encoding="utf-8") as text:
            text.write("#!/bin/sh\necho this document is no program\n")
        os.chmod(document, 0o755)  # as every file on an exFAT or SMB mount
        entry = os.path.join(self.folder, "起動.desktop")
        with open(entry, "w", encoding="utf-8") as desktop_entry:
            desktop_entry.write(f"[Desktop Entry]\nType=Application\nName=起動\n"
                                f"Exec={handler} from-entry\n")
        launcher = self.start_with([("議事録", document), ("起動", entry)])
        own_stderr = os.readlink(f"/proc/{launcher.pid}/fd/2")
        combo = launcher.find(pyatspi.ROLE_COMBO_BOX)
        run_button = launcher.find(pyatspi.ROLE_PUSH_BUTTON, "実行")
        for name, argument in (("議事録", document), ("起動", "from-entry")):
            if os.path.exists(self.marker):
                os.remove(self.marker)
            pick_combo_item(combo, name)
            click(run_button)
            self.assertEventually(lambda: self.handler_notes()[:2], [argument, own_stderr])
            # The window answers while the handler runs.
            asked = time.monotonic()
            launcher.round_trip()
            self.assertLess(time.monotonic() - asked, 0.5, "the window answers at once")
            self.assertEventually(lambda: self.handler_notes()[2:], ["survived"])

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
