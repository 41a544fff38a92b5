"""Watches the X server for a program's first window, from outside the program:
when it is mapped (for a managed window: when the window manager maps the frame
that holds it) and when the program first draws into it (XDamage)."""

import ctypes
import select
import time

from desktop import ROOT, library, prop

CREATE_NOTIFY, MAP_NOTIFY, REPARENT_NOTIFY = 16, 19, 21
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
DAMAGE_REPORT_RAW_RECTANGLES = 0

Window = ctypes.c_ulong


class _Any(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p)]


class _Create(ctypes.Structure):
    _fields_ = _Any._fields_ + [("parent", Window), ("window", Window),
                                ("x", ctypes.c_int), ("y", ctypes.c_int),
                                ("width", ctypes.c_int), ("height", ctypes.c_int),
                                ("border_width", ctypes.c_int), ("override_redirect", ctypes.c_int)]


class _Map(ctypes.Structure):
    _fields_ = _Any._fields_ + [("event", Window), ("window", Window),
                                ("override_redirect", ctypes.c_int)]


class _Reparent(ctypes.Structure):
    _fields_ = _Any._fields_ + [("event", Window), ("window", Window), ("parent", Window)]


class _Damage(ctypes.Structure):
    _fields_ = _Any._fields_ + [("drawable", ctypes.c_ulong)]


class _Event(ctypes.Union):
    _fields_ = [("any", _Any), ("create", _Create), ("map", _Map), ("reparent", _Reparent),
                ("damage", _Damage), ("pad", ctypes.c_long * 24)]


# The desktop harness's Xlib, and what watching events takes besides.
X11 = library("libX11.so.6", {
    "XOpenDisplay": "ps", "XCloseDisplay": "ip", "XDefaultRootWindow": "Lp", "XSync": "ipi",
    "XSelectInput": "ipLl", "XPending": "ip", "XNextEvent": "ipp", "XConnectionNumber": "ip",
    "XQueryTree": "ipLUUpN", "XFree": "ip"})
DAMAGE = library("libXdamage.so.1", {"XDamageQueryExtension": "ipII", "XDamageCreate": "LpLi"})


class _DamageConnection:
    """A connection of its own to the X display with the DAMAGE extension; closed
    on leaving a with block."""

    def __init__(self):
        self._x11, self._damage = X11, DAMAGE
        self._display = self._x11.XOpenDisplay(None)
        if not self._display:
            raise RuntimeError("cannot open the X display")
        base, error = ctypes.c_int(), ctypes.c_int()
        if not self._damage.XDamageQueryExtension(self._display, ctypes.byref(base),
                                                  ctypes.byref(error)):
            raise RuntimeError("the X server lacks the DAMAGE extension")
        self._damage_notify = base.value

    def _events(self, timeout):
        """Each event as it comes with its monotonic nanoseconds, and (None, None)
        each time none is waiting; ends once timeout seconds have passed."""
        deadline = time.monotonic() + timeout
        fd = self._x11.XConnectionNumber(self._display)
        event = _Event()
        while True:
            while self._x11.XPending(self._display):
                self._x11.XNextEvent(self._display, ctypes.addressof(event))
                yield event, time.monotonic_ns()
            yield None, None
            left = deadline - time.monotonic()
            if left <= 0:
                return
            select.select([fd], [], [], left)

    def close(self):
        if self._display:
            self._x11.XCloseDisplay(self._display)
            self._display = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class FirstWindowWatch(_DamageConnection):
    """Open before the program starts; wait() then answers, in monotonic
    nanoseconds, when the program's first managed window was mapped and first
    drawn into."""

    def __init__(self):
        super().__init__()
        self._root = self._x11.XDefaultRootWindow(self._display)
        self._x11.XSelectInput(self._display, self._root, SUBSTRUCTURE_NOTIFY_MASK)
        self._x11.XSync(self._display, 0)

    def wait(self, pid, timeout=10.0):
        """(window, mapped_ns, drawn_ns) of the first window of pid that is both."""
        created, frames, mapped, drawn = set(), {}, {}, {}
        for event, now in self._events(timeout):
            if event:
                self._note(event, now, created, frames, mapped, drawn)
                continue
            for window, at in mapped.items():
                if window in drawn and prop(window, "_NET_WM_PID") == [pid]:
                    return window, at, max(at, drawn[window])
        raise TimeoutError(f"no window of process {pid} was drawn in {timeout} s")

    def _note(self, event, now, created, frames, mapped, drawn):
        kind = event.any.type
        if kind == CREATE_NOTIFY and not event.create.override_redirect:
            window = event.create.window
            created.add(window)
            self._damage.XDamageCreate(self._display, window, DAMAGE_REPORT_RAW_RECTANGLES)
        elif kind == REPARENT_NOTIFY and event.reparent.window in created:
            frames[self._frame_of(event.reparent.parent)] = event.reparent.window
        elif kind == MAP_NOTIFY and not event.map.override_redirect:
            window = frames.get(event.map.window, event.map.window)
            if window in created:
                mapped.setdefault(window, now)
        elif kind == self._damage_notify and event.damage.drawable in created:
            drawn.setdefault(event.damage.drawable, now)


    def _frame_of(self, window):
        """The child of the root that holds the window: the window manager's frame."""
        root, parent, children, count = (ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p(),
                                         ctypes.c_uint())
        while True:
            self._x11.XQueryTree(self._display, window, ctypes.byref(root), ctypes.byref(parent),
                                 ctypes.byref(children), ctypes.byref(count))
            self._x11.XFree(children)
            if parent.value in (0, ROOT):
                return window
            window = parent.value


class DamageWatch(_DamageConnection):
    """Tells when a program next draws into its window, seen from outside: the
    moment its user-interface thread has answered an input."""

    def __init__(self, window):
        super().__init__()
        self._damage.XDamageCreate(self._display, window, DAMAGE_REPORT_RAW_RECTANGLES)
        self._x11.XSync(self._display, 0)

    def forget(self):
        """Drops what was drawn so far."""
        self._x11.XSync(self._display, 0)
        event = _Event()
        while self._x11.XPending(self._display):
            self._x11.XNextEvent(self._display, ctypes.addressof(event))

    def next_drawn(self, timeout=5.0):
        """Monotonic nanoseconds of the next drawing into the window, or None."""
        for event, now in self._events(timeout):
            if event and event.any.type == self._damage_notify:
                return now
        return None
