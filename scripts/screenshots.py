"""The README's screenshots, taken on the private desktop of tests/e2e/desktop.sh:
the launcher, its popup menu, the options dialog and the delete dialog, each with
a little of the desktop around it.

`make screenshots` writes them into docs/screenshots; without an argument they go
into a scratch folder (the ctest "screenshots", which keeps this script working):

    TOVLAN_PROGRAM=build/tovlan tests/e2e/desktop.sh -- python3 scripts/screenshots.py [folder]
"""

import ctypes
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

import pyatspi
from desktop import (DISPLAY, ROOT, SCRATCH, Geometry, Program, corner_gaps, frame,
                     geometry, keys, library, popups, press, wait, windows_of, write_lines)

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
MARGIN = 10
DESKTOP_COLOUR = "#dfe4ec"


class Image(ctypes.Structure):
    """The start of Xlib's XImage, up to what is read here."""
    _fields_ = [(name, ctypes.c_int) for name in ("width", "height", "xoffset", "format")] + [
        ("data", ctypes.c_void_p)] + [(name, ctypes.c_int) for name in (
            "byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad", "depth", "bytes_per_line")]


X11 = library("libX11.so.6", {"XGetImage": "ppLiiuuLi", "XDestroyImage": "ip"})
X11.XGetImage.restype = ctypes.POINTER(Image)


def grab_rgb(area):
    """The screen's pixels in the area as rows of RGB bytes (Xvfb's 32-bit BGRX)."""
    image = X11.XGetImage(DISPLAY, ROOT, *area, 2**64 - 1, 2)  # all planes, ZPixmap
    line, (width, height) = image.contents.bytes_per_line, area[2:]
    data = ctypes.string_at(image.contents.data, line * height)
    X11.XDestroyImage(image)
    rows = [bytearray(width * 3) for _ in range(height)]
    for y, row in enumerate(rows):
        start, end = y * line, y * line + width * 4
        row[0::3], row[1::3], row[2::3] = data[start + 2:end:4], data[start + 1:end:4], data[start:end:4]
    return [bytes(row) for row in rows]


def write_png(path, rows):
    """RGB rows, all of the same length, as an 8-bit PNG file."""
    def chunk(kind, payload):
        return (struct.pack(">I", len(payload)) + kind + payload
                + struct.pack(">I", zlib.crc32(kind + payload)))
    header = struct.pack(">IIBBBBB", len(rows[0]) // 3, len(rows), 8, 2, 0, 0, 0)
    pixels = zlib.compress(b"".join(b"\0" + bytes(row) for row in rows), 9)
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", pixels)
                   + chunk(b"IEND", b""))


def around(*areas):
    """The smallest rectangle on the screen that holds the areas, with a margin."""
    whole = geometry(ROOT)
    left = max(0, min(a.x for a in areas) - MARGIN)
    top = max(0, min(a.y for a in areas) - MARGIN)
    right = min(whole.width, max(a.x + a.width for a in areas) + MARGIN)
    bottom = min(whole.height, max(a.y + a.height for a in areas) + MARGIN)
    return Geometry(left, top, right - left, bottom - top)


def shoot(folder, name, *areas):
    time.sleep(0.3)  # until what was announced is drawn
    rows = grab_rgb(around(*areas))
    colours = {row[i:i + 3] for row in rows for i in range(0, len(row), 3)}
    if len(colours) < 16:
        raise SystemExit(f"screenshots: {name} holds hardly a picture")
    write_png(os.path.join(folder, name), rows)


def pick(pid, caption, steps):
    """Clicks into the window's combo box and moves down the list that many names;
    where the click opened the list, Return closes it on the name."""
    press(pid, caption, pyatspi.ROLE_COMBO_BOX)
    keys(None, *["Down"] * steps)
    if popups(pid):
        keys(None, "Return")
        wait(lambda: not popups(pid))


def open_settings_menu(launcher):
    """Right-clicks 実行 and opens 設定 in the popup menu; both menus' windows."""
    press(launcher.pid, "Tovlan", pyatspi.ROLE_PUSH_BUTTON, "実行", button=3)
    wait(lambda: popups(launcher.pid))
    keys(None, "Down", "Down", "Down", "Right")
    return wait(lambda: len(popups(launcher.pid)) == 2 and popups(launcher.pid))


def main(out):
    os.makedirs(out, exist_ok=True)
    subprocess.run(["xsetroot", "-solid", DESKTOP_COLOUR], check=True)
    folder = tempfile.mkdtemp(dir=SCRATCH)
    shutil.copy(os.path.join(EXAMPLES, "サンプル.xxa"), folder)
    # Relative list names, so that the pictures show no scratch folders.
    write_lines(os.path.join(folder, "設定.ini"),
                [value for quick in ("サンプル.xxa", "仕事.xxa", "", "") for value in
                 ("サンプル.xxa", quick, " 1 ")])
    launcher = Program(folder).start()
    try:
        wait(lambda: corner_gaps(launcher.window, 1, geometry(ROOT)), (0, 0))
        pick(launcher.pid, "Tovlan", 1)  # ドキュメント, the first name
        shoot(out, "launcher.png", frame(launcher.window))

        menus = open_settings_menu(launcher)
        shoot(out, "popup-menu.png", frame(launcher.window), *map(geometry, menus))
        keys(None, "Return")  # オプション
        options = wait(lambda: windows_of(launcher.pid, "オプション"))[0]
        shoot(out, "options-dialog.png", frame(options))
        keys(options, "alt+F4")

        open_settings_menu(launcher)
        keys(None, "Down", "Return")  # 消去
        delete = wait(lambda: windows_of(launcher.pid, "消去"))[0]
        pick(launcher.pid, "消去", 1)  # OS の情報: the open list starts on the first name
        shoot(out, "delete-dialog.png", frame(delete))
    finally:
        launcher.stop()


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else tempfile.mkdtemp(dir=SCRATCH))
