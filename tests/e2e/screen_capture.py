"""Screenshots of the X screen as PNG files, with nothing but Xlib and the
standard library: XGetImage reads the pixels, zlib packs them."""

import ctypes
import struct
import zlib

Z_PIXMAP = 2
ALL_PLANES = 0xFFFFFFFFFFFFFFFF


class _XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_ubyte)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int), ("red_mask", ctypes.c_ulong),
                ("green_mask", ctypes.c_ulong), ("blue_mask", ctypes.c_ulong)]


def _xlib():
    x11 = ctypes.CDLL("libX11.so.6")
    vp, ul = ctypes.c_void_p, ctypes.c_ulong
    x11.XOpenDisplay.restype = vp
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ul
    x11.XDefaultRootWindow.argtypes = [vp]
    x11.XGetImage.restype = ctypes.POINTER(_XImage)
    x11.XGetImage.argtypes = [vp, ul, ctypes.c_int, ctypes.c_int, ctypes.c_uint, ctypes.c_uint,
                              ul, ctypes.c_int]
    x11.XDestroyImage.argtypes = [ctypes.POINTER(_XImage)]
    x11.XCloseDisplay.argtypes = [vp]
    return x11


def grab_rgb(x, y, width, height):
    """The screen's pixels in that rectangle as rows of RGB bytes."""
    x11 = _xlib()
    display = x11.XOpenDisplay(None)
    if not display:
        raise RuntimeError("cannot open the X display")
    try:
        image_pointer = x11.XGetImage(display, x11.XDefaultRootWindow(display), x, y, width,
                                      height, ALL_PLANES, Z_PIXMAP)
        if not image_pointer:
            raise RuntimeError(f"cannot read the screen at {width}x{height}+{x}+{y}")
        try:
            return _rows_of(image_pointer.contents)
        finally:
            x11.XDestroyImage(image_pointer)
    finally:
        x11.XCloseDisplay(display)


def _rows_of(image):
    # Xvfb's 24-bit visual: 32 bits a pixel, blue in the lowest byte, least
    # significant byte first.
    if (image.bits_per_pixel, image.red_mask, image.blue_mask, image.byte_order) != \
            (32, 0xFF0000, 0xFF, 0):
        raise RuntimeError("screen format other than 32-bit little-endian RGB")
    data = ctypes.string_at(image.data, image.bytes_per_line * image.height)
    rows = []
    for row in range(image.height):
        pixels = data[row * image.bytes_per_line:][:image.width * 4]
        rgb = bytearray(image.width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = pixels[2::4], pixels[1::4], pixels[0::4]
        rows.append(bytes(rgb))
    return rows


def _chunk(kind, payload):
    return (struct.pack(">I", len(payload)) + kind + payload
            + struct.pack(">I", zlib.crc32(kind + payload)))


def write_png(path, rows):
    """Writes RGB rows, all of the same length, as an 8-bit PNG file."""
    width, height = len(rows[0]) // 3, len(rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    pixels = zlib.compress(b"".join(b"\0" + row for row in rows), 9)
    with open(path, "wb") as file:
        file.write(b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) + _chunk(b"IDAT", pixels)
                   + _chunk(b"IEND", b""))


def capture(path, x, y, width, height):
    write_png(path, grab_rgb(x, y, width, height))
