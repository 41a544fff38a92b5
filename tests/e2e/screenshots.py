"""The README's screenshots, taken on the end-to-end desktop: the launcher, its
popup menu, the options dialog and the delete dialog, each with a little of the
desktop around it.

`make screenshots` writes them into docs/screenshots (TOVLAN_SCREENSHOTS names
the folder). The ctest e2e_screenshots takes them into a scratch folder and
checks that each came out as a real picture, so the script cannot rot unnoticed.
Run through run-e2e.sh: tests/e2e/run-e2e.sh build/tovlan screenshots
"""

import os
import shutil
import struct
import time
import unittest
import zlib

import pyatspi

from accessible import pick_combo_item
from screen_capture import capture
from tovlan_e2e import LauncherTestCase, gaps_to_corner, write_settings
from xdesktop import Geometry, outer_geometry, press_keys, run, screen_size

EXAMPLE_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples",
                            "サンプル.xxa")
OUT = os.environ.get("TOVLAN_SCREENSHOTS", "")
MARGIN = 10
DESKTOP_COLOUR = "#dfe4ec"


def extents(accessible):
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return Geometry(box.x, box.y, box.width, box.height)


def around(*areas):
    """The smallest rectangle on the screen that holds the areas, with a margin."""
    width, height = screen_size()
    left = max(0, min(a.x for a in areas) - MARGIN)
    top = max(0, min(a.y for a in areas) - MARGIN)
    right = min(width, max(a.right for a in areas) + MARGIN)
    bottom = min(height, max(a.bottom for a in areas) + MARGIN)
    return Geometry(left, top, right - left, bottom - top)


def png_facts(path):
    """(width, height, number of colours) of a PNG file written by screen_capture."""
    with open(path, "rb") as file:
        data = file.read()
    width, height = struct.unpack(">II", data[16:24])
    # One IDAT chunk before the 12-byte IEND; each row a filter byte, then RGB.
    raw = zlib.decompress(data[data.index(b"IDAT") + 4:-16])
    stride = 1 + width * 3
    colours = {raw[row * stride + 1 + i:row * stride + 4 + i]
               for row in range(height) for i in range(0, width * 3, 3)}
    return width, height, len(colours)


class ScreenshotsTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.out = OUT or self.new_folder()
        os.makedirs(self.out, exist_ok=True)
        run("xsetroot", "-solid", DESKTOP_COLOUR)

    def shoot(self, name, launcher, *areas):
        """Waits until the launcher has drawn what it announced, then captures."""
        launcher.round_trip()
        time.sleep(0.3)
        area = around(*areas)
        path = os.path.join(self.out, name)
        capture(path, area.x, area.y, area.width, area.height)
        width, height, colours = png_facts(path)
        self.assertEqual((width, height), (area.width, area.height), name)
        self.assertGreaterEqual(min(width, height), 40, f"{name} is a sliver")
        self.assertGreater(colours, 16, f"{name} holds hardly a picture")

    def test_launcher_menu_and_dialogs(self):
        shutil.copy(EXAMPLE_LIST, self.folder)
        # Relative list names, so the pictures show no scratch folders.
        write_settings(self.folder, startup_list="サンプル.xxa",
                       quick_files=("サンプル.xxa", "仕事.xxa", "", ""), corner=1)
        launcher = self.start_launcher()
        self.assertEventually(lambda: gaps_to_corner(launcher.window, 1), (0, 0))
        pick_combo_item(launcher.find(pyatspi.ROLE_COMBO_BOX), "ドキュメント")
        self.shoot("launcher.png", launcher, outer_geometry(launcher.window))

        button = launcher.find(pyatspi.ROLE_PUSH_BUTTON, "実行")
        menu = launcher.open_popup_menu(button)
        submenu = launcher.open_submenu(menu, "設定")
        self.shoot("popup-menu.png", launcher, outer_geometry(launcher.window), extents(menu),
                   extents(submenu))
        launcher.close_popup_menus()

        launcher.choose_menu_item(launcher.open_popup_menu(button), "設定", "オプション")
        options = launcher.window_titled("オプション")
        self.shoot("options-dialog.png", launcher, outer_geometry(options))
        press_keys(options, "alt+F4")

        launcher.choose_menu_item(launcher.open_popup_menu(button), "設定", "消去")
        delete = launcher.window_titled("消去")
        pick_combo_item(launcher.find(pyatspi.ROLE_COMBO_BOX, within="消去"), "OS の情報")
        self.shoot("delete-dialog.png", launcher, outer_geometry(delete))


if __name__ == "__main__":
    unittest.main()
