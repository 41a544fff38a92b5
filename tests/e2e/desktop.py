"""Drives programs on the private desktop of desktop.sh: X read through Xlib, input
sent with xdotool (XTEST: openbox sees a user's), controls found by accessible name."""

import ctypes
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest
from collections import namedtuple
from ctypes import POINTER, byref, c_int, c_uint, c_ulong, c_void_p

PROGRAM = os.environ.get("TOVLAN_PROGRAM", "")
SCRATCH = os.environ.get("TOVLAN_E2E_SCRATCH") or tempfile.gettempdir()
TYPES = {"i": c_int, "u": c_uint, "L": c_ulong, "l": ctypes.c_long, "p": c_void_p,
         "s": ctypes.c_char_p, "U": POINTER(c_ulong), "I": POINTER(c_int), "N": POINTER(c_uint)}
Geometry = namedtuple("Geometry", "x y width height")


def library(name, prototypes):
    """The library, its functions typed by TYPES codes, result first: "Lps" is ulong f(void*, char*)."""
    lib = ctypes.CDLL(name)
    for function, code in prototypes.items():
        getattr(lib, function).restype, *getattr(lib, function).argtypes = map(TYPES.get, code)
    return lib


X11 = library("libX11.so.6", {
    "XOpenDisplay": "ps", "XDefaultRootWindow": "Lp", "XInternAtom": "Lpsi", "XFree": "ip",
    "XGetWindowProperty": "ipLLlliLUIUUp", "XGetSelectionOwner": "LpL", "XGetImage": "ppLiiuuLi",
    "XGetPixel": "Lpii"})
# Windows come and go: an error about one that has gone must not end us, as Xlib's would.
IGNORE_ERRORS = ctypes.CFUNCTYPE(c_int, c_void_p, c_void_p)(lambda *_: 0)
X11.XSetErrorHandler(IGNORE_ERRORS)
DISPLAY = X11.XOpenDisplay(None)
ROOT = X11.XDefaultRootWindow(DISPLAY) if DISPLAY else 0


def atom(name):
    return X11.XInternAtom(DISPLAY, name.encode(), 0)


def prop(window, name):
    """A property's items: numbers (atoms, windows) or, for text, bytes."""
    kind, fmt, count, after, data = c_ulong(), c_int(), c_ulong(), c_ulong(), c_void_p()
    X11.XGetWindowProperty(DISPLAY, window, atom(name), 0, 4096, 0, 0, byref(kind), byref(fmt),
                           byref(count), byref(after), byref(data))
    if not data.value:
        return []
    items = ctypes.string_at(data, count.value) if fmt.value == 8 else \
        list((c_ulong * count.value).from_address(data.value))
    X11.XFree(data)
    return items


def geometry(window):
    info = run("xwininfo", "-id", window)
    return Geometry(*map(int, re.findall(r"(?:Absolute upper-left [XY]|Width|Height): +(-?\d+)", info)))


def pixels(area):
    """The screen's pixels in the area (x, y, width, height), row by row."""
    image = X11.XGetImage(DISPLAY, ROOT, *area, 0xFFFFFFFF, 2)  # ZPixmap
    return [[X11.XGetPixel(image, x, y) for x in range(area[2])] for y in range(area[3])]


def viewable(window):
    return "IsViewable" in run("xwininfo", "-id", window)


def has_state(window, state):
    return atom("_NET_WM_STATE_" + state) in prop(window, "_NET_WM_STATE")


def clients():
    """The windows openbox manages, bottom of the stack first."""
    return prop(ROOT, "_NET_CLIENT_LIST_STACKING") or prop(ROOT, "_NET_CLIENT_LIST")  # xfwm4: no stacking


def shown(pid):
    """The process's windows on screen, as found by their _NET_WM_PID."""
    return [int(window) for window in run("xdotool", "search", "--onlyvisible", "--pid", pid).split()]


def windows_of(pid, caption=None):
    return [w for w in shown(pid) if w in clients()
            and caption in (None, bytes(prop(w, "_NET_WM_NAME")).decode())]


def popups(pid):
    """The process's menus on screen: windows right on the root that openbox leaves alone."""
    return [w for w in shown(pid) if w not in clients() and on_root(w)]


def tray_icons(pid):
    return [w for w in shown(pid) if w not in clients() and not on_root(w)]


def on_root(window):
    return "Parent window id: %#x (the root window)" % ROOT in run("xwininfo", "-children", "-id", window)


def frame(window):
    """The window with the frame openbox draws around it, as openbox announces it; where the window
    manager announces none (i3), the window it puts the client in."""
    while not prop(window, "_NET_FRAME_EXTENTS") and (parent := int(re.search(
            r"Parent window id: (\w+)", run("xwininfo", "-children", "-id", window))[1], 16)) != ROOT:
        window = parent
    x, y, width, height = geometry(window)
    left, right, top, bottom = prop(window, "_NET_FRAME_EXTENTS") or (0, 0, 0, 0)
    return Geometry(x - left, y - top, width + left + right, height + top + bottom)


def corner_gaps(window, corner, area):
    """Pixels from the window's frame to the area's corner (1 top-left .. 4 bottom-right)."""
    outer = frame(window)
    return (outer.x - area.x if corner < 3 else area.x + area.width - outer.x - outer.width,
            outer.y - area.y if corner % 2 else area.y + area.height - outer.y - outer.height)


def wait(probe, expected=None, timeout=5.0):
    """Polls probe() every 50 ms until it answers expected (None: anything true); answers that."""
    deadline, matches = time.monotonic() + timeout, bool if expected is None else expected.__eq__
    while matches(seen := probe()) is not True:
        if time.monotonic() > deadline:
            raise AssertionError(f"{probe.__qualname__}: {seen!r} after {timeout} s, not {expected!r}")
        time.sleep(0.05)
    return seen


def run(*command, check=False):
    """The command's output; xdotool's commands send input as a user's (XTEST)."""
    return subprocess.run(list(map(str, command)), capture_output=True, text=True, check=check).stdout


def click(x, y, button=1, repeat=1):
    run("xdotool", "mousemove", x, y, "click", "--repeat", repeat, "--delay", 80, button)


def hold(x, y, button, seconds=0.3):
    run("xdotool", "mousemove", x, y, "mousedown", button, "sleep", seconds, "mouseup", button)


def keys(window, *names):
    """Presses keys in the window, focused as a click would, or (None) in a menu."""
    window and run("xdotool", "windowactivate", "--sync", window)
    run("xdotool", "key", "--clearmodifiers", *names)


# A Wayland session whose panels X's input and pixels do not reach: the compositor's own (a module).
if SEAT := os.environ.get("TOVLAN_E2E_SEAT"):
    click, hold, keys, pixels = (getattr(__import__(SEAT), name) for name in ("click", "hold", "keys", "pixels"))


def write_lines(path, lines):
    """A text file as the program writes its own: code page 932, CR LF."""
    with open(path, "wb") as file:
        file.write("".join(line + "\r\n" for line in lines).encode("cp932"))


def write_settings(folder, startup_list="", corner=4):
    write_lines(os.path.join(folder, "設定.ini"), [startup_list, "", f" {corner} "] * 4)


def other_window(area):
    """Another program's window over the area (x, y, width, height), until the desktop ends."""
    subprocess.Popen(["xmessage", "-name", "tovlan-other", "-geometry", "{2}x{3}+{0}+{1}".format(*area),
                      "another program"], stderr=subprocess.DEVNULL)  # it ends with X
    return wait(lambda: [w for w in clients() if prop(w, "WM_CLASS").startswith(b"tovlan-other\0")])[0]


class Program:
    """One run of path, or of the launcher copied into the folder, whose settings go beside it."""

    def __init__(self, folder, path=None, env=None, **popen):
        self.path, self.process = path or shutil.copy2(PROGRAM, folder), None
        self.popen = dict(cwd=folder, env=env or {**os.environ, "QT_QPA_PLATFORM": "xcb",
                          "QT_ACCESSIBILITY": "1", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}, **popen)

    def launch(self):
        self.process = subprocess.Popen([self.path], **self.popen)
        self.pid = self.process.pid

    def start(self):
        self.launch()
        found = wait(lambda: windows_of(self.pid) or self.process.poll() is not None, timeout=10)
        assert found is not True, f"{self.path} ended with {self.process.returncode}"
        self.window = found[0]
        return self

    def stop(self):
        if self.process:
            self.process.kill()
            self.process.wait()


def accessible(pid, caption):
    import pyatspi  # not before: the bench's programs run with no one listening
    return wait(lambda: next((window for app in pyatspi.Registry.getDesktop(0) if app
                              and app.get_process_id() == pid for window in app
                              if window and window.name == caption), None))


def controls(node):
    """(role as pyatspi.ROLE_*, accessible name, centre) of each button, combo box and text box."""
    import pyatspi
    for child in filter(None, node):
        if (role := child.getRole()) in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT):
            box = child.queryComponent().getExtents(0)  # desktop coordinates
            yield role, child.name, (box.x + box.width // 2, box.y + box.height // 2)
        if role != pyatspi.ROLE_COMBO_BOX:  # whose edit field has no name of its own
            yield from controls(child)


def press(pid, caption, role, name=None, button=1):
    click(*next(at for found_role, found_name, at in controls(accessible(pid, caption))
                if found_role == role and name in (None, found_name)), button)


@unittest.skipUnless(PROGRAM, "TOVLAN_PROGRAM is not set: run through ctest or desktop.sh")
class DesktopTest(unittest.TestCase):
    """Each test gets a folder of its own; what it starts is stopped after it."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(dir=SCRATCH)
        self.list_path = os.path.join(self.folder, "仕事.xxa")

    def launcher(self, entries=(), corner=4, env=()):
        folder = tempfile.mkdtemp(dir=SCRATCH)
        write_lines(self.list_path, [value for entry in entries for value in entry])
        write_settings(folder, self.list_path, corner)
        program = Program(folder)
        program.popen["env"].update(env)
        self.addCleanup(program.stop)
        return program.start()

    def helper(self, *command, **options):
        process = subprocess.Popen(command, **options)
        self.addCleanup(lambda: process.kill() or process.wait())
        return process

    def assertAbove(self, launcher, other):
        run("xdotool", "windowactivate", "--sync", other)
        self.assertGreater(clients().index(launcher.window), clients().index(other))

