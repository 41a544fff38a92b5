"""The launcher and its dialogs worked from the keyboard alone, and Qt's own windows
in Japanese like the rest of the program."""

import os
import unittest

import pyatspi

from accessible import find_all, menu_items, pick_combo_item, set_text
from tovlan_e2e import LauncherTestCase, list_file_bytes, read_bytes
from xdesktop import (is_viewable, managed_windows_of, outer_geometry, press_keys, run_quietly,
                      wait_until, window_title)

NAMES = ["メモ帳", "週報"]
TOP_LEVEL_ITEMS = ["新規作成", "開く", "設定", "閉じる"]


class KeyboardTest(LauncherTestCase):
    def message_box(self, launcher):
        """The program's window titled Tovlan other than the launcher: a message box."""
        return wait_until(lambda: next((w for w in managed_windows_of(launcher.pid)
                                        if w != launcher.window and window_title(w) == "Tovlan"
                                        and is_viewable(w)), 0), 5.0, "a message box")

    def test_tab_to_run_and_enter(self):
        target = self.target_script("first.sh")
        launcher = self.start_with([(NAMES[0], target), (NAMES[1], "/no/such")], corner=1)

        # Nothing picked yet: the message box, wide enough that openbox shows
        # its whole title beside the icon and buttons, with the program's icon.
        press_keys(launcher.window, "Tab", "Return")
        box = self.message_box(launcher)
        self.assertGreaterEqual(outer_geometry(box).width, 160)
        self.assertIn("Icon (", run_quietly("xprop", "-id", str(box), "_NET_WM_ICON"))
        press_keys(None, "KP_Enter")
        self.assertEventually(lambda: is_viewable(box), False, "Enter closes the message box")

        pick_combo_item(launcher.find(pyatspi.ROLE_COMBO_BOX), NAMES[0])
        press_keys(launcher.window, "Tab", "Return")
        self.assertEventually(lambda: os.path.exists(self.marker), True, "the target started")

    def test_shift_f10_and_menu_key_open_the_menu_at_the_focus(self):
        launcher = self.start_with([(NAMES[0], "/bin/true")], corner=1)
        combo = launcher.find(pyatspi.ROLE_COMBO_BOX)
        box = combo.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        for keys in ("shift+F10", "Menu"):
            # The focus is in the edit field: the launcher's menu opens under the
            # combo box, not the field's own edit menu.
            menu = launcher.open_popup_menu_by_keys(keys)
            self.assertEqual([item.name for item in menu_items(menu) if item.showing],
                             TOP_LEVEL_ITEMS, keys)
            self.assertEqual(len(launcher.popup_menus()), 1, keys)
            extents = menu.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            self.assertLessEqual(abs(extents.x - box.x), 2, keys)
            self.assertLessEqual(abs(extents.y - (box.y + box.height)), 2, keys)
            launcher.close_popup_menus()

    def test_enter_registers_and_escape_closes_each_dialog(self):
        entries = [(NAMES[0], "/bin/true")]
        launcher = self.start_with(entries, corner=1)
        button = launcher.find(pyatspi.ROLE_PUSH_BUTTON, "実行")

        launcher.choose_menu_item(launcher.open_popup_menu(button), "設定", "オプション")
        options = launcher.window_titled("オプション")
        set_text(launcher.find(pyatspi.ROLE_TEXT, "表示する名前", within="オプション"), "週報")
        # The focus is in the name box: past the path box and its "." to 登録.
        press_keys(options, "Tab", "Tab", "Tab", "Return")
        self.assertEventually(lambda: read_bytes(self.list_path),
                              list_file_bytes(entries + [("週報", "C:\\")]))
        press_keys(options, "Escape")
        self.assertEventually(lambda: launcher.has_window_titled("オプション"), False)

        launcher.choose_menu_item(launcher.open_popup_menu(button), "設定", "消去")
        press_keys(launcher.window_titled("消去"), "Escape")
        self.assertEventually(lambda: launcher.has_window_titled("消去"), False)
        self.assertTrue(is_viewable(launcher.window), "the launcher is shown")

    def test_open_file_dialog_speaks_japanese(self):
        launcher = self.start_with([(NAMES[0], "/bin/true")], corner=1)
        menu = launcher.open_popup_menu_by_keys("shift+F10")
        launcher.choose_menu_item(menu, "開く")
        dialog = launcher.window_titled("ファイルを開く")
        top = wait_until(lambda: launcher.top_level("ファイルを開く"), 5.0, "the dialog")

        def names(role):
            return sorted(node.name for node in find_all(top, role))
        self.assertEqual(names(pyatspi.ROLE_LABEL), ["アドレス:", "ファイルの種類:", "ファイル名(N):"])
        self.assertEqual(names(pyatspi.ROLE_TABLE_COLUMN_HEADER),
                         sorted(["名前", "サイズ", "タイプ", "更新日"]))
        buttons = names(pyatspi.ROLE_PUSH_BUTTON)
        self.assertIn("開く(O)", buttons)
        self.assertIn("キャンセル", buttons)
        press_keys(dialog, "Escape")
        self.assertEventually(lambda: launcher.has_window_titled("ファイルを開く"), False)


if __name__ == "__main__":
    unittest.main()
