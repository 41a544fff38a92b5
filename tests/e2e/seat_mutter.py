"""Input and pixels on GNOME's Wayland session, whose top bar XTEST and the root window do not reach:
mutter's remote desktop session sends the input, the shell takes screenshots for their tool's name."""
import time

import gi
gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, Gio, GLib
from desktop import ROOT, SCRATCH, geometry, library, run

BUS, SCREEN = Gio.bus_get_sync(Gio.BusType.SESSION), geometry(ROOT)
REMOTE, SHOT = "org.gnome.Mutter.RemoteDesktop", "org.gnome.Shell.Screenshot"
KEYSYM = library("libX11.so.6", {"XStringToKeysym": "Ls"}).XStringToKeysym


def call(service, path, method, signature="()", *args):
    return BUS.call_sync(service, path, *method.rsplit(".", 1), GLib.Variant(signature, args), None,
                         Gio.DBusCallFlags.NONE, 5000, None).unpack()


call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.RequestName", "(su)",
     "org.gnome.Screenshot", 4)  # not queued
SESSION = call(REMOTE, "/org/gnome/Mutter/RemoteDesktop", REMOTE + ".CreateSession")[0]  # ends with us
send = lambda method, *signature_args: call(REMOTE, SESSION, REMOTE + ".Session." + method, *signature_args)
send("Start")


def click(x, y, button=1, repeat=1, hold=0.0):  # moved from the bottom right corner, where it stops
    send("NotifyPointerMotionRelative", "(dd)", 1e5, 1e5)  # (absolute: a screen cast; top left: overview)
    send("NotifyPointerMotionRelative", "(dd)", x - SCREEN.width + 1, y - SCREEN.height + 1)
    for state in (True, False) * repeat:
        send("NotifyPointerButton", "(ib)", {1: 0x110, 3: 0x111}[button], state)  # BTN_LEFT, BTN_RIGHT
        time.sleep(hold if state else 0.08)


def keys(window, *names):
    window and run("xdotool", "windowactivate", "--sync", window)
    for syms in ([KEYSYM(key.replace("shift", "Shift_L").encode()) for key in n.split("+")] for n in names):
        for sym, state in [(sym, True) for sym in syms] + [(sym, False) for sym in reversed(syms)]:
            send("NotifyKeyboardKeysym", "(ub)", sym, state)


def pixels(area):  # each as its bytes, red first
    call(SHOT, "/org/gnome/Shell/Screenshot", SHOT + ".ScreenshotArea", "(iiiibs)", *area, False,
         SCRATCH + "/shot")
    image = GdkPixbuf.Pixbuf.new_from_file(SCRATCH + "/shot")
    data, stride, step = image.get_pixels(), image.get_rowstride(), image.get_n_channels()
    return [[data[(at := y * stride + x * step):at + 3] for x in range(area[2])] for y in range(area[3])]


hold = lambda x, y, button, seconds=0.3: click(x, y, button, 1, seconds)
