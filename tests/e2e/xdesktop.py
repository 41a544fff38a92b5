"""The desktop as X sees it: windows read with xprop and xwininfo, input sent with
xdotool through XTEST, so that openbox and the programs see it as a user's."""

import ctypes
import functools
import re
import subprocess
import time
from typing import NamedTuple


class TimedOut(AssertionError):
    pass


def wait_until(probe, timeout=5.0, what="condition"):
    """Polls probe() every 50 ms and returns its first truthy result."""
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result:
            return result
        if time.monotonic() > deadline:
            raise TimedOut(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.05)


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def run_quietly(*command):
    """Like run(), but '' when the command fails, e.g. on a window that just vanished."""
    result = subprocess.run(command, capture_output=True, text=True)
    return result.stdout if result.returncode == 0 else ""


class Geometry(NamedTuple):
    x: int
    y: int
    width: int
    height: int

    @property
    def right(self):
        return self.x + self.width

    @property
    def bottom(self):
        return self.y + self.height


def _xwininfo_fields(window):
    text = run_quietly("xwininfo", "-id", str(window))
    return dict(re.findall(r"^\s*([A-Za-z -]+):\s*(.*)$", text, re.M))


def window_geometry(window):
    """The window's own area on screen, frame not included."""
    fields = _xwininfo_fields(window)
    return Geometry(
        int(fields["Absolute upper-left X"]),
        int(fields["Absolute upper-left Y"]),
        int(fields["Width"]),
        int(fields["Height"]),
    )


def primary_monitor():
    """The primary monitor's area as RandR tells it, e.g. a monitor made with
    xrandr --setmonitor; without one marked primary, the whole screen."""
    for line in run("xrandr", "--listmonitors").splitlines()[1:]:
        match = re.search(r"\*\S+\s+(\d+)/\d+x(\d+)/\d+\+(\d+)\+(\d+)", line)
        if match:
            width, height, x, y = map(int, match.groups())
            return Geometry(x, y, width, height)
    return Geometry(0, 0, *screen_size())


def screen_size():
    geometry = window_geometry(root_window())
    return geometry.width, geometry.height


@functools.cache
def root_window():
    return int(re.search(r"Window id: (0x[0-9a-f]+)", run("xwininfo", "-root")).group(1), 16)


def parent_window(window):
    text = run_quietly("xwininfo", "-children", "-id", str(window))
    match = re.search(r"Parent window id: (0x[0-9a-f]+)", text)
    return int(match.group(1), 16) if match else 0


def toplevel_ancestor(window):
    """The child of the root that holds the window: openbox's frame, or the window itself."""
    root = root_window()
    while True:
        parent = parent_window(window)
        if parent in (0, root):
            return window
        window = parent


def outer_geometry(window):
    """What the user sees on screen: the window with the frame that openbox draws around it."""
    frame = toplevel_ancestor(window)
    border = int(_xwininfo_fields(frame).get("Border width", "0"))
    inner = window_geometry(frame)
    return Geometry(inner.x - border, inner.y - border,
                    inner.width + 2 * border, inner.height + 2 * border)


def is_viewable(window):
    return _xwininfo_fields(window).get("Map State") == "IsViewable"


def _property_text(window, name):
    """The value part of xprop's line for the property, '' when the window lacks it."""
    text = run_quietly("xprop", "-id", str(window), name)
    match = re.search(r"^\S+(?: = |: window id # )(.*)$", text, re.M)
    return match.group(1) if match else ""


def property_values(window, name):
    """Values of a list property: atoms by name, numbers and window ids as ints."""
    values = [v.strip() for v in _property_text(window, name).split(",") if v.strip()]
    return [int(v, 0) if re.fullmatch(r"0x[0-9a-f]+|\d+", v) else v for v in values]


def net_wm_state(window):
    return set(property_values(window, "_NET_WM_STATE"))


def frame_extents(window):
    """left, right, top, bottom of the frame that openbox announces."""
    return tuple(property_values(window, "_NET_FRAME_EXTENTS")) or (0, 0, 0, 0)


def window_title(window):
    text = _property_text(window, "_NET_WM_NAME")
    return text[1:-1] if text.startswith('"') else text


def window_pid(window):
    values = property_values(window, "_NET_WM_PID")
    return values[0] if values else 0


def managed_windows():
    """The windows that openbox manages, bottom of the stack first."""
    return property_values(root_window(), "_NET_CLIENT_LIST_STACKING")


def managed_windows_of(pid):
    """The process's windows that openbox manages (not menus, not tray icons)."""
    return [w for w in managed_windows() if window_pid(w) == pid]


def trayer_panel():
    """trayer's own managed window, into which it embeds the tray icons."""
    ids = [int(v) for v in run_quietly("xdotool", "search", "--class", "trayer").split()]
    return next((w for w in managed_windows() if w in ids), 0)


def tray_manager():
    """The window that owns the system tray selection, 0 while there is no tray."""
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    xlib.XGetSelectionOwner.restype = ctypes.c_ulong
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(None)
    if not display:
        return 0
    try:
        return xlib.XGetSelectionOwner(display, xlib.XInternAtom(display, b"_NET_SYSTEM_TRAY_S0", 0))
    finally:
        xlib.XCloseDisplay(display)


def descendant_windows(window):
    text = run_quietly("xwininfo", "-tree", "-id", str(window))
    return [int(v, 16) for v in re.findall(r"^\s+(0x[0-9a-f]+)", text, re.M)]


def tray_contents():
    """Every window inside trayer's panel: the icons and whatever trayer wraps them in."""
    panel = trayer_panel()
    return descendant_windows(panel) if panel else []


def tray_icons(pid):
    """The process's windows that trayer has embedded, i.e. its tray icons."""
    return [w for w in tray_contents() if window_pid(w) == pid]


# --- input ----------------------------------------------------------------------


def click_at(x, y, button=1, repeat=1):
    # No --sync: it waits for a motion that never comes when the pointer is there
    # already; the X server keeps the move and the click in order anyway.
    run("xdotool", "mousemove", str(x), str(y),
        "click", "--repeat", str(repeat), "--delay", "80", str(button))


def click_window(window, button=1, repeat=1):
    geometry = window_geometry(window)
    click_at(geometry.x + geometry.width // 2, geometry.y + geometry.height // 2, button, repeat)


def activate_window(window):
    """Raises and focuses the window through openbox, as a click on it would."""
    run("xdotool", "windowactivate", "--sync", str(window))


def active_window():
    values = property_values(root_window(), "_NET_ACTIVE_WINDOW")
    return values[0] if values else 0


def press_keys(window, *keys):
    """Types keys such as 'Delete' or 'alt+F4' into the window, focusing it first the
    way a click would; window None types into whatever has the keyboard, e.g. a menu."""
    if window is not None:
        activate_window(window)
    run("xdotool", "key", "--clearmodifiers", *keys)


def type_text(window, text):
    activate_window(window)
    run("xdotool", "type", "--delay", "20", text)
