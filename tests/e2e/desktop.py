"""Drives the real program on the private desktop of desktop.sh: the X server read
through Xlib, input sent with xdotool (XTEST, so openbox sees a user's), controls
found by their accessible names, the program's files written as it writes them."""

import ctypes
import os
import shutil
import subprocess
import tempfile
import time
import unittest
from ctypes import POINTER, byref, c_int, c_uint, c_ulong, c_void_p
from typing import NamedTuple

PROGRAM = os.environ.get("TOVLAN_PROGRAM", "")
SCRATCH = os.environ.get("TOVLAN_E2E_SCRATCH") or tempfile.gettempdir()
TYPES = {"i": c_int, "u": c_uint, "L": c_ulong, "l": ctypes.c_long, "p": c_void_p,
         "s": ctypes.c_char_p, "P": POINTER(c_void_p), "U": POINTER(c_ulong), "I": POINTER(c_int),
         "N": POINTER(c_uint)}


def struct(names, kinds):
    return type("S", (ctypes.Structure,), {"_fields_": list(zip(names.split(), map(TYPES.get, kinds)))})


Attributes = struct("x y width height border depth visual root klass bit_g win_g backing planes "
                    "pixel save_under colormap installed map_state all_masks own_mask no_propagate "
                    "override_redirect screen", "iiiiiipLiiiiLLiLiilllip")
Image = struct("width height xoffset format data byte_order unit bit_order pad depth "
               "bytes_per_line bits_per_pixel red green blue", "iiiipiiiiiiiLLL")


def library(name, prototypes):
    """The shared library with each function's result and argument types set from
    a letter code: result first, e.g. "Lps" for unsigned long f(void*, char*)."""
    lib = ctypes.CDLL(name)
    for function, code in prototypes.items():
        types = [TYPES.get(c) for c in code]
        getattr(lib, function).restype, getattr(lib, function).argtypes = types[0], types[1:]
    return lib


X11 = library("libX11.so.6", {
    "XOpenDisplay": "ps", "XDefaultRootWindow": "Lp", "XInternAtom": "Lpsi", "XFree": "ip",
    "XGetWindowProperty": "ipLLlliLUIUUP", "XQueryTree": "ipLUUPN", "XGetSelectionOwner": "LpL",
    "XTranslateCoordinates": "ipLLiiIIU", "XGetImage": "ppLiiuuLi", "XDestroyImage": "ip",
    "XSync": "ipi"})
X11.XGetWindowAttributes.argtypes = [c_void_p, c_ulong, POINTER(Attributes)]
X11.XGetImage.restype = POINTER(Image)
# Windows come and go while they are read: an error about one that has gone
# must not end the process, as Xlib's default handler would.
IGNORE_ERRORS = ctypes.CFUNCTYPE(c_int, c_void_p, c_void_p)(lambda *_: 0)
X11.XSetErrorHandler(IGNORE_ERRORS)
DISPLAY = X11.XOpenDisplay(None)
ROOT = X11.XDefaultRootWindow(DISPLAY) if DISPLAY else 0


class Geometry(NamedTuple):
    x: int
    y: int
    width: int
    height: int


def atom(name):
    return X11.XInternAtom(DISPLAY, name.encode(), 0)


def prop(window, name):
    """A property's items: numbers (atoms, windows) or, for text, bytes."""
    kind, fmt, count, after, data = c_ulong(), c_int(), c_ulong(), c_ulong(), c_void_p()
    if X11.XGetWindowProperty(DISPLAY, window, atom(name), 0, 4096, 0, 0, byref(kind), byref(fmt),
                              byref(count), byref(after), byref(data)) or not data.value:
        return []
    items = ctypes.string_at(data, count.value) if fmt.value == 8 else \
        list((c_ulong * count.value).from_address(data.value))
    X11.XFree(data)
    return items


def attributes(window):
    found = Attributes()
    return found if X11.XGetWindowAttributes(DISPLAY, window, byref(found)) else None


def viewable(window):
    found = attributes(window)
    return bool(found and found.map_state == 2)


def tree(window):
    """(parent, children) of the window; (0, []) once it has gone."""
    root, parent, children, count = c_ulong(), c_ulong(), c_void_p(), c_uint()
    if not X11.XQueryTree(DISPLAY, window, byref(root), byref(parent), byref(children), byref(count)):
        return 0, []
    found = [ctypes.cast(children, POINTER(c_ulong))[i] for i in range(count.value)]
    X11.XFree(children)
    return parent.value, found


def descendants(window):
    for child in tree(window)[1]:
        yield child
        yield from descendants(child)


def frame_window(window):
    """The child of the root that holds the window: openbox's frame around it."""
    while tree(window)[0] not in (0, ROOT):
        window = tree(window)[0]
    return window


def frame(window):
    """What the user sees: the window with the frame openbox draws around it."""
    return geometry(frame_window(window), outer=True)


def geometry(window, outer=False):
    x, y, child, found = c_int(), c_int(), c_ulong(), attributes(window)
    X11.XTranslateCoordinates(DISPLAY, window, ROOT, 0, 0, byref(x), byref(y), byref(child))
    border = found.border if outer else 0
    return Geometry(x.value - border, y.value - border, found.width + 2 * border,
                    found.height + 2 * border)


def pid_of(window):
    return (prop(window, "_NET_WM_PID") or [0])[0]


def title(window):
    return bytes(prop(window, "_NET_WM_NAME")).decode()


def has_state(window, state):
    return atom("_NET_WM_STATE_" + state) in prop(window, "_NET_WM_STATE")


def clients():
    """The windows openbox manages, bottom of the stack first."""
    return prop(ROOT, "_NET_CLIENT_LIST_STACKING")


def windows_of(pid, caption=None):
    """The process's viewable managed windows, or those with the caption."""
    return [w for w in clients() if pid_of(w) == pid and viewable(w)
            and caption in (None, title(w))]


def popups(pid):
    """The process's menus on screen: viewable windows that openbox leaves alone."""
    return [w for w in tree(ROOT)[1]
            if pid_of(w) == pid and viewable(w) and attributes(w).override_redirect]


def grab_rgb(area):
    """The screen's pixels in the area as rows of RGB bytes (Xvfb's 32-bit BGRX)."""
    image = X11.XGetImage(DISPLAY, ROOT, *area, 2**64 - 1, 2)
    line, (width, height) = image.contents.bytes_per_line, area[2:]
    data = ctypes.string_at(image.contents.data, line * height)
    X11.XDestroyImage(image)
    rows = [bytearray(width * 3) for _ in range(height)]
    for y, row in enumerate(rows):
        pixels = data[y * line:y * line + width * 4]
        row[0::3], row[1::3], row[2::3] = pixels[2::4], pixels[1::4], pixels[0::4]
    return [bytes(row) for row in rows]


def tray_manager():
    """The window that holds the system tray, 0 while there is none."""
    return X11.XGetSelectionOwner(DISPLAY, atom("_NET_SYSTEM_TRAY_S0"))


def wait(probe, timeout=5.0, what="a condition"):
    """Polls probe() every 50 ms and returns its first truthy result."""
    deadline = time.monotonic() + timeout
    while not (result := probe()):
        if time.monotonic() > deadline:
            raise AssertionError(f"no {what} after {timeout} s; last seen: {result!r}")
        time.sleep(0.05)
    return result


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def click(x, y, button=1, repeat=1):
    xdotool("mousemove", x, y, "click", "--repeat", repeat, "--delay", 80, button)


def click_window(window, button=1, repeat=1):
    area = geometry(window)
    click(area.x + area.width // 2, area.y + area.height // 2, button, repeat)


def keys(window, *names):
    """Focuses the window as a click would (None: whatever has the keyboard), then
    presses the keys, e.g. "Delete", "alt+F4"."""
    if window:
        xdotool("windowactivate", "--sync", window)
    xdotool("key", "--clearmodifiers", *names)


def write_lines(path, lines):
    """A text file as the program writes its files: code page 932, CR LF."""
    with open(path, "wb") as file:
        file.write("".join(line + "\r\n" for line in lines).encode("cp932"))


def write_list(path, entries):
    """entries: (display name, target path) pairs."""
    write_lines(path, [value for entry in entries for value in entry])


def write_settings(folder, startup_list="", corner=4):
    """The start-up list and the corner (1 top-left, 2 bottom-left, 3 top-right,
    4 bottom-right) in the program's settings file, no quick files."""
    write_lines(os.path.join(folder, "設定.ini"), [startup_list, "", f" {corner} "] * 4)


def corner_gaps(window, corner, area):
    """Pixels between the window's frame and the corner's two edges of the area."""
    outer = frame(window)
    return (outer.x - area.x if corner < 3 else area.x + area.width - outer.x - outer.width,
            outer.y - area.y if corner % 2 else area.y + area.height - outer.y - outer.height)


def screen():
    return geometry(ROOT)


def environment(**extra):
    """This process's environment for a Qt program on X with its accessibility bridge on."""
    return {**os.environ, "QT_QPA_PLATFORM": "xcb", "QT_ACCESSIBILITY": "1",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", **extra}


def other_window(area):
    """Another program's window (xmessage) over the area, as a user's editor; its
    process and its managed window."""
    process = subprocess.Popen(["xmessage", "-name", "tovlan-other", "-geometry",
                                "{2}x{3}+{0}+{1}".format(*area), "another program"])
    return process, wait(lambda: [w for w in clients() if prop(w, "WM_CLASS").startswith(b"tovlan-other\0")],
                         what="other window")[0]


class Program:
    """One run of a program; the launcher by default, from its own copy in the
    folder, since it reads its settings file beside itself."""

    def __init__(self, folder, path=None, env=None, **output):
        self.path = path or shutil.copy2(PROGRAM, folder)
        self.folder, self.output, self.process, self.window = folder, output, None, 0
        self.env = env or environment()

    def launch(self):
        self.process = subprocess.Popen([self.path], cwd=self.folder, env=self.env, **self.output)
        return self

    def start(self, timeout=10.0):
        """Launches the program and waits for its first window on screen."""
        self.window = wait(self.launch()._main_window, timeout, "window of " + self.path)
        return self

    def _main_window(self):
        if self.process.poll() is not None:
            raise AssertionError(f"{self.path} exited with {self.process.returncode}")
        return (windows_of(self.process.pid) or [0])[0]

    @property
    def pid(self):
        return self.process.pid

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(3)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def tray_icons(pid):
    """The process's windows that a tray has embedded: viewable, below the top
    level and not managed by openbox."""
    managed = clients()
    return [w for top in tree(ROOT)[1] for w in descendants(top)
            if pid_of(w) == pid and w not in managed and viewable(w)]


def accessible(pid, caption):
    """The process's window with that caption on the accessibility bus."""
    import pyatspi  # here: the bench's programs run without the bus's attention

    def find():
        app = next((a for a in pyatspi.Registry.getDesktop(0) if a and a.get_process_id() == pid), None)
        app and app.clear_cache()
        return app and next((w for w in app if w and w.name == caption), None)
    return wait(find, what=f"window {caption!r} on the accessibility bus")


def controls(node):
    """(role, accessible name, centre on screen) of every button, combo box and text
    box below node, but the combo boxes' own edit fields."""
    found = []
    for child in filter(None, node):
        role = child.getRoleName()
        if role in ("push button", "combo box", "text") and node.getRoleName() != "combo box":
            box = child.queryComponent().getExtents(0)  # desktop coordinates
            found.append((role, child.name, (box.x + box.width // 2, box.y + box.height // 2)))
        found += controls(child)
    return found


def press(pid, caption, name):
    """Clicks the button of that accessible name in the window with that caption."""
    click(*next(centre for role, button, centre in controls(accessible(pid, caption))
                if (role, button) == ("push button", name)))


class DesktopTest(unittest.TestCase):
    """Each test gets a folder of its own; what it starts is stopped after it."""

    def setUp(self):
        if not PROGRAM:
            self.skipTest("TOVLAN_PROGRAM is not set: run through ctest or desktop.sh")
        self.folder = tempfile.mkdtemp(dir=SCRATCH)
        self.list_path = os.path.join(self.folder, "仕事.xxa")

    def launcher(self, entries=(), corner=4, env=None):
        """The launcher started from a folder of its own on a list of (name, target)."""
        folder = tempfile.mkdtemp(dir=SCRATCH)
        write_list(self.list_path, entries)
        write_settings(folder, self.list_path, corner)
        program = Program(folder, env=environment(**(env or {})))
        self.addCleanup(program.stop)
        return program.start()

    def helper(self, *command, **options):
        process = subprocess.Popen(command, **options)
        self.addCleanup(process.wait)
        self.addCleanup(process.terminate)
        return process

    def start_tray(self):
        self.helper("trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                    "--height", "24", "--SetDockType", "true", "--expand", "false",
                    stderr=subprocess.DEVNULL)
        wait(tray_manager, what="system tray")

    def assertEventually(self, probe, expected, timeout=5.0):
        """Polls until probe() == expected; fails showing the last value seen."""
        seen = []
        try:
            wait(lambda: seen.append(probe()) or seen[-1] == expected, timeout)
        except AssertionError:
            self.assertEqual(seen[-1], expected, f"still so after {timeout} s")
