"""Watches the X server for a program's first window, from outside the program:
when it is mapped (for a managed window: when the window manager maps the frame
that holds it) and when the program first draws into it (XDamage)."""

import ctypes
import select
import time

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


# Windows come and go while they are watched; an X error about one that has
# gone already must not end the watcher, as Xlib's default handler would.
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_ignore_errors = _ERROR_HANDLER(lambda display, error: 0)


def _libraries():
    x11 = ctypes.CDLL("libX11.so.6")
    damage = ctypes.CDLL("libXdamage.so.1")
    vp, ul = ctypes.c_void_p, ctypes.c_ulong
    x11.XOpenDisplay.restype = vp
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ul
    x11.XDefaultRootWindow.argtypes = [vp]
    x11.XSelectInput.argtypes = [vp, ul, ctypes.c_long]
    x11.XSync.argtypes = [vp, ctypes.c_int]
    x11.XPending.argtypes = [vp]
    x11.XNextEvent.argtypes = [vp, ctypes.POINTER(_Event)]
    x11.XConnectionNumber.argtypes = [vp]
    x11.XCloseDisplay.argtypes = [vp]
    x11.XInternAtom.restype = ul
    x11.XInternAtom.argtypes = [vp, ctypes.c_char_p, ctypes.c_int]
    x11.XGetWindowProperty.argtypes = [
        vp, ul, ul, ctypes.c_long, ctypes.c_long, ctypes.c_int, ul, ctypes.POINTER(ul),
        ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ul), ctypes.POINTER(ul),
        ctypes.POINTER(ctypes.c_void_p)]
    x11.XFree.argtypes = [vp]
    x11.XSetErrorHandler.argtypes = [_ERROR_HANDLER]
    x11.XQueryTree.argtypes = [vp, ul, ctypes.POINTER(ul), ctypes.POINTER(ul),
                               ctypes.POINTER(ctypes.c_void_p), ctypes.POINTER(ctypes.c_uint)]
    damage.XDamageQueryExtension.argtypes = [vp, ctypes.POINTER(ctypes.c_int),
                                             ctypes.POINTER(ctypes.c_int)]
    damage.XDamageCreate.restype = ul
    damage.XDamageCreate.argtypes = [vp, ul, ctypes.c_int]
    return x11, damage


class _DamageConnection:
    """A connection of its own to the X display with the DAMAGE extension; closed
    on leaving a with block."""

    def __init__(self):
        self._x11, self._damage = _libraries()
        self._x11.XSetErrorHandler(_ignore_errors)
        self._display = self._x11.XOpenDisplay(None)
        if not self._display:
            raise RuntimeError("cannot open the X display")
        base, error = ctypes.c_int(), ctypes.c_int()
        if not self._damage.XDamageQueryExtension(self._display, ctypes.byref(base),
                                                  ctypes.byref(error)):
            raise RuntimeError("the X server lacks the DAMAGE extension")
        self._damage_notify = base.value

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
        self._pid_atom = self._x11.XInternAtom(self._display, b"_NET_WM_PID", 0)
        self._x11.XSelectInput(self._display, self._root, SUBSTRUCTURE_NOTIFY_MASK)
        self._x11.XSync(self._display, 0)

    def wait(self, pid, timeout=10.0):
        """(window, mapped_ns, drawn_ns) of the first window of pid that is both."""
        created, frames, mapped, drawn = set(), {}, {}, {}
        deadline = time.monotonic() + timeout
        fd = self._x11.XConnectionNumber(self._display)
        event = _Event()
        while True:
            while self._x11.XPending(self._display):
                self._x11.XNextEvent(self._display, ctypes.byref(event))
                now = time.monotonic_ns()
                self._note(event, now, created, frames, mapped, drawn)
            for window, at in mapped.items():
                if window in drawn and self._pid_of(window) == pid:
                    return window, at, max(at, drawn[window])
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError(f"no window of process {pid} was drawn in {timeout} s")
            select.select([fd], [], [], left)

    def _note(self, event, now, created, frames, mapped, drawn):
        kind = event.any.type
        if kind == CREATE_NOTIFY and not event.create.override_redirect:
            window = event.create.window
            created.add(window)
            self._damage.XDamageCreate(self._display, window, DAMAGE_REPORT_RAW_RECTANGLES)
        elif kind == REPARENT_NOTIFY and event.reparent.window in created:
            frames[self._toplevel(event.reparent.parent)] = event.reparent.window
        elif kind == MAP_NOTIFY and not event.map.override_redirect:
            window = frames.get(event.map.window, event.map.window)
            if window in created:
                mapped.setdefault(window, now)
        elif kind == self._damage_notify and event.damage.drawable in created:
            drawn.setdefault(event.damage.drawable, now)

    def _toplevel(self, window):
        """The child of the root that holds window: the window manager's frame."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.c_void_p(), ctypes.c_uint()
        while True:
            if not self._x11.XQueryTree(self._display, window, ctypes.byref(root),
                                        ctypes.byref(parent), ctypes.byref(children),
                                        ctypes.byref(count)):
                return window
            if children:
                self._x11.XFree(children)
            if parent.value in (0, root.value):
                return window
            window = parent.value

    def _pid_of(self, window):
        kind, fmt = ctypes.c_ulong(), ctypes.c_int()
        count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
        ok = self._x11.XGetWindowProperty(
            self._display, window, self._pid_atom, 0, 1, 0, 0, ctypes.byref(kind),
            ctypes.byref(fmt), ctypes.byref(count), ctypes.byref(after), ctypes.byref(data))
        if ok != 0 or not data.value:
            return 0
        try:
            return ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0] if count.value else 0
        finally:
            self._x11.XFree(data)


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
            self._x11.XNextEvent(self._display, ctypes.byref(event))

    def next_drawn(self, timeout=5.0):
        """Monotonic nanoseconds of the next drawing into the window, or None."""
        deadline = time.monotonic() + timeout
        fd = self._x11.XConnectionNumber(self._display)
        event = _Event()
        while True:
            while self._x11.XPending(self._display):
                self._x11.XNextEvent(self._display, ctypes.byref(event))
                if event.any.type == self._damage_notify:
                    return time.monotonic_ns()
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([fd], [], [], left)
