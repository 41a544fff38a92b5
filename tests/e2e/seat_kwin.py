"""Clicks, keys and pixels on KWin's Wayland session, whose panel X's input and pixels do not reach:
KWin's fake input, spoken on a Wayland connection of our own, and its screenshots."""

import os
import socket
import struct
import time

from desktop import run
from gi.repository import Gio, GLib

KEYS = {"Escape": 1, "Return": 28, "shift": 42, "F10": 68, "Up": 103, "Right": 106, "Down": 108, "Delete": 111}


def send(target, opcode, *args):  # int as uint, float as fixed, str (ASCII) as string
    body = b"".join(struct.pack("<i", round(a * 256)) if type(a) is float else struct.pack("<I", a) if type(a) is int
                    else struct.pack("<I", len(a) + 1) + a.encode().ljust(len(a) // 4 * 4 + 4, b"\0") for a in args)
    SEAT.sendall(struct.pack("<II", target, len(body) + 8 << 16 | opcode) + body)


def round_trip(*requests):  # fake input's (opcode, arguments...), a sync; what KWin sent till its answer
    for opcode, *args in requests:
        send(4, opcode, *args)
    send(1, 0, 3)  # sync, answered on callback 3, which is free again then
    data = b""
    while struct.pack("<II", 3, 12 << 16) not in data:
        data += (chunk := SEAT.recv(4096))
        assert chunk, f"KWin closed the connection: {data!r}"
    return data


# Ids in the order made: 1 display, 2 registry, 3 callback, 4 fake input (offered with no permission checks).
SEAT = socket.socket(socket.AF_UNIX)
SEAT.connect(os.environ["XDG_RUNTIME_DIR"] + "/wayland-0")
send(1, 1, 2)  # get_registry
announced = round_trip()  # name, interface, version of each global
send(2, 0, struct.unpack_from("<I", announced, announced.index(b"org_kde_kwin_fake_input\0") - 8)[0],
     "org_kde_kwin_fake_input", 4, 4)  # bind, version 4
send(4, 0, "Tovlan e2e", "the tests' clicks and keys")  # authenticate


def hold(x, y, button, seconds, repeat=1):
    round_trip((9, float(x), float(y)))  # pointer_motion_absolute
    for pressed in [1, 0] * repeat:  # button, by Linux's code
        time.sleep(0.08 if pressed else seconds)
        round_trip((2, {1: 0x110, 2: 0x112, 3: 0x111}[button], pressed))


click = lambda x, y, button=1, repeat=1: hold(x, y, button, 0, repeat)


def keys(window, *names):  # in the window, activated as a window list would, or (None) where the focus is
    window and run("xdotool", "windowactivate", "--sync", window)
    for codes in ([KEYS[key] for key in name.split("+")] for name in names):
        round_trip(*[(10, code, 1) for code in codes], *[(10, code, 0) for code in reversed(codes)])  # keyboard_key
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
