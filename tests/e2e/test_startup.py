"""Start-up as a user sees it: the corner the launcher moves to, that it stays on
top of other windows, and the list it shows."""

import os
import subprocess
import unittest

import pyatspi

from accessible import combo_items, combo_text
from tovlan_e2e import CORNERS, LauncherTestCase, gaps_to_corner, write_list, write_settings
from xdesktop import (activate_window, active_window, managed_windows, net_wm_state,
                      outer_geometry, run_quietly, wait_until)

# Display names as a Windows user types them: ① and ～ exist only in code page 932,
# not in plain Shift-JIS, and ﾒﾓ is one-byte katakana.
ENTRIES = [
    ("メモ帳", r"C:\Windows\notepad.exe"),
    ("①議事録～下書き", r"D:\文書\議事録.txt"),
    ("ﾒﾓ", "memo.txt"),
    ("Calc, with comma", "calc.exe"),
]


class StartupTest(LauncherTestCase):
    def start_with(self, corner, entries=(), folder=None):
        folder = folder or self.folder
        list_path = os.path.join(folder, "仕事.xxa")
        write_list(list_path, entries)
        write_settings(folder, startup_list=list_path, corner=corner)
        return self.start_launcher(folder)

    def test_window_moves_into_the_configured_corner(self):
        for corner, (caption, _, _) in CORNERS.items():
            folder = self.new_folder()
            with self.subTest(corner=caption), self.start_with(corner, folder=folder) as launcher:
                self.assertEventually(lambda: gaps_to_corner(launcher.window, corner), (0, 0),
                                      "pixels between the outer frame and the screen edges")
                button = launcher.find(pyatspi.ROLE_PUSH_BUTTON, "実行")
                ticked = [item.name for item in launcher.read_popup_menu(button, "設定", "位置")
                          if item.checked]
                self.assertEqual(ticked, [caption])

    def test_window_stays_above_windows_activated_later(self):
        launcher = self.start_with(4)
        self.assertIn("_NET_WM_STATE_ABOVE", net_wm_state(launcher.window))
        other = self.open_window_over(outer_geometry(launcher.window))
        activate_window(other)
        self.assertEqual(active_window(), other)
        stack = managed_windows()
        self.assertGreater(stack.index(launcher.window), stack.index(other),
                           "a window activated later covers the launcher")

    def open_window_over(self, area):
        """A plain window of another program covering the area, e.g. a user's editor."""
        blocker = subprocess.Popen(
            ["xmessage", "-name", "tovlan-e2e-blocker",
             "-geometry", f"{area.width + 100}x{area.height + 100}+{area.x - 50}+{area.y - 50}",
             "covering the launcher"])
        self.addCleanup(blocker.wait)
        self.addCleanup(blocker.terminate)

        def managed_blocker():
            ids = run_quietly("xdotool", "search", "--classname", "^tovlan-e2e-blocker$").split()
            return next((int(v) for v in ids if int(v) in managed_windows()), None)
        return wait_until(managed_blocker, 5.0, "the covering window")

    def test_list_shows_names_in_file_order(self):
        launcher = self.start_with(1, ENTRIES)

        def combo():
            return launcher.find(pyatspi.ROLE_COMBO_BOX)
        self.assertEventually(lambda: combo_items(combo()), [name for name, _ in ENTRIES])
        self.assertEqual(combo_text(combo()), "", "no entry is picked before the user picks one")


if __name__ == "__main__":
    unittest.main()
