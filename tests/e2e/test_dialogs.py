"""The options and delete dialogs beside a running launcher: what they leave in the
list file, and what the launcher shows once they close."""

import unittest

import pyatspi

from accessible import click, combo_items, pick_combo_item, set_text
from tovlan_e2e import LauncherTestCase, gaps_to_corner, list_file_bytes, read_bytes
from xdesktop import activate_window, is_viewable, run

# Display names as a Windows user types them: ① and ～ exist only in code page 932.
ENTRIES = [
    ("メモ帳", "/usr/bin/mousepad"),
    ("①議事録～下書き", r"D:\文書\議事録.txt"),
    ("ﾒﾓ", "memo.txt"),
    ("Calc", "calc.exe"),
]
LAUNCHER = "Tovlan"
OPTIONS = "オプション"
DELETE = "消去"


def names(entries):
    return [name for name, _ in entries]


class DialogsTest(LauncherTestCase):
    def open_dialog(self, launcher, caption):
        """Opens the dialog from the launcher's menu, 設定 ▸ caption; its X window."""
        button = launcher.find(pyatspi.ROLE_PUSH_BUTTON, "実行", within=LAUNCHER)
        launcher.choose_menu_item(launcher.open_popup_menu(button), "設定", caption)
        return launcher.window_titled(caption)

    def type_into(self, window, text_box, text):
        """Replaces what the box holds by typing, keys as a user presses them."""
        activate_window(window)
        click(text_box)
        run("xdotool", "key", "--clearmodifiers", "ctrl+a")
        run("xdotool", "type", "--delay", "10", text)
        self.assertEventually(lambda: text_box.queryText().getText(0, -1), text)

    def assertLauncherShows(self, launcher, entries):
        """After a dialog's closing button: the launcher back on screen with the list
        reloaded, its tray icon still present, and the dialog gone."""
        self.assertEventually(lambda: is_viewable(launcher.window), True, "the launcher is shown")
        combo = launcher.find(pyatspi.ROLE_COMBO_BOX, within=LAUNCHER)
        self.assertEventually(lambda: combo_items(combo), names(entries))
        launcher.tray_icon()
        self.assertEventually(lambda: gaps_to_corner(launcher.window, 4), (0, 0),
                              "the launcher stays in its corner")

    def test_registered_shortcut_reaches_the_file_and_the_launcher(self):
        launcher = self.start_with(ENTRIES[:3])
        dialog = self.open_dialog(launcher, OPTIONS)

        # Japanese arrives whole from an input method; the path is typed key by key.
        set_text(launcher.find(pyatspi.ROLE_TEXT, "表示する名前", within=OPTIONS), "週報②")
        path_box = launcher.find(pyatspi.ROLE_TEXT, "フルパス付のファイル名など", within=OPTIONS)
        self.type_into(dialog, path_box, "/srv/share/weekly report.sh")
        click(launcher.find(pyatspi.ROLE_PUSH_BUTTON, "登録", within=OPTIONS))
        expected = ENTRIES[:3] + [("週報②", "/srv/share/weekly report.sh")]
        self.assertEventually(lambda: read_bytes(self.list_path), list_file_bytes(expected))

        click(launcher.find(pyatspi.ROLE_PUSH_BUTTON, "OK", within=OPTIONS))
        self.assertEventually(lambda: launcher.has_window_titled(OPTIONS), False, "OK closes it")
        self.assertLauncherShows(launcher, expected)

    def test_deleted_entry_leaves_the_file_and_the_launcher(self):
        launcher = self.start_with(ENTRIES)
        self.open_dialog(launcher, DELETE)

        combo = launcher.find(pyatspi.ROLE_COMBO_BOX, within=DELETE)
        self.assertEventually(lambda: combo_items(combo), names(ENTRIES))
        pick_combo_item(combo, ENTRIES[1][0])
        click(launcher.find(pyatspi.ROLE_PUSH_BUTTON, "消去", within=DELETE))
        remaining = ENTRIES[:1] + ENTRIES[2:]
        self.assertEventually(lambda: read_bytes(self.list_path), list_file_bytes(remaining))
        self.assertEventually(lambda: combo_items(combo), names(remaining),
                              "the dialog shows the shortened list")

        click(launcher.find(pyatspi.ROLE_PUSH_BUTTON, "閉じる", within=DELETE))
        self.assertEventually(lambda: launcher.has_window_titled(DELETE), False,
                              "閉じる closes it")
        self.assertLauncherShows(launcher, remaining)


if __name__ == "__main__":
    unittest.main()
