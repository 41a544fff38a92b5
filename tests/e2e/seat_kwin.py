"""Clicks, keys and pixels on KWin's Wayland session, whose panel X's input and pixels do not reach:
KWin's fake input, spoken on a Wayland connection of our own, and its screenshots."""

import os
import socket
import time
from struct import pack, unpack_from

from desktop import run
from gi.repository import Gio, GLib

KEYS = {"Escape": 1, "Return": 28, "shift": 42, "F10": 68, "Up": 103, "Right": 106, "Down": 108, "Delete": 111}


def request(*messages):
    """Sends each (object, opcode, arguments: int as uint, float as fixed, str as string), then a sync;
    answers what KWin sent until it answered that, on callback 3, whose id is free again then."""
    for target, opcode, *args in messages + ((1, 0, 3),):
        body = b"".join(pack("<i", round(a * 256)) if type(a) is float else pack("<I", a) if type(a) is int
                        else pack("<I", len(a) + 1) + a.encode().ljust(len(a) // 4 * 4 + 4, b"\0") for a in args)
        SEAT.sendall(pack("<II", target, len(body) + 8 << 16 | opcode) + body)
    data = b""
    while pack("<II", 3, 12 << 16) not in data:
        data += (chunk := SEAT.recv(4096))
        assert chunk, f"KWin closed the connection: {data!r}"
    return data


# Ids in the order made: 1 display, 2 registry, 3 callback, 4 fake input (offered with no permission checks).
SEAT = socket.socket(socket.AF_UNIX)
SEAT.connect(os.environ["XDG_RUNTIME_DIR"] + "/wayland-0")
announced = request((1, 1, 2))  # get_registry: name, interface, version of each global
request((2, 0, unpack_from("<I", announced, announced.index(b"org_kde_kwin_fake_input\0") - 8)[0],
         "org_kde_kwin_fake_input", 4, 4), (4, 0, "Tovlan e2e", "the tests' clicks and keys"))  # bind, authenticate


def hold(x, y, button, seconds=0.3, repeat=1):
    request((4, 9, float(x), float(y)))  # pointer_motion_absolute
    for pressed in [1, 0] * repeat:  # button, by Linux's code
        time.sleep(0.08 if pressed else seconds)
        request((4, 2, {1: 0x110, 2: 0x112, 3: 0x111}[button], pressed))


click = lambda x, y, button=1, repeat=1: hold(x, y, button, 0, repeat)


def keys(window, *names):  # in the window, activated as a window list would, or (None) where the focus is
    window and run("xdotool", "windowactivate", "--sync", window)
    for codes in ([KEYS[key] for key in name.split("+")] for name in names):
        request(*[(4, 10, code, 1) for code in codes], *[(4, 10, code, 0) for code in reversed(codes)])  # keyboard_key
        time.sleep(0.05)


def pixels(area):  # the area (x, y, width, height) of what KWin shows, row by row, as 0xRRGGBB
    read, write = os.pipe()  # the write end goes to KWin, and is closed with the list that sends it
    shot = Gio.bus_get_sync(Gio.BusType.SESSION).call_with_unix_fd_list_sync(
        "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureArea",
        GLib.Variant("(iiuua{sv}h)", (*area, {}, 0)), None, 0, 5000, Gio.UnixFDList.new_from_array([write]))
    with os.fdopen(read, "rb") as image:
        data, shot = memoryview(image.read()), shot[0].unpack()[0]
    assert shot["format"] in (4, 5, 6), "QImage's RGB32 or ARGB32: 0xAARRGGBB, a word a pixel"
    return [[pixel & 0xFFFFFF for pixel in data[y * shot["stride"]:][:area[2] * 4].cast("I")] for y in range(area[3])]
