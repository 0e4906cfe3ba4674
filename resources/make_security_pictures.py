#!/usr/bin/env python3
"""Writes resources/security_96.png, _120, _144 and _192: the progress page's
picture beside its note on the system's security questions, a blue shield
with a white check mark, 32, 40, 48 and 64 pixels square for 96, 120, 144
and 192 DPI. Each pixel is the average of 8 x 8 samples, so the edges blend
into whatever the page paints behind the picture. Run it again to remake the
files; the output is the same each time."""
import struct
import sys
import zlib
from pathlib import Path

from supersample import near_segment, picture

SIZES = {96: 32, 120: 40, 144: 48, 192: 64}
TOP, SHOULDER, TIP = 0.07, 0.45, 0.95  # the shield's top, where its sides bend in, its point
HALF_WIDTH = 0.37
BORDER = 0.055
FILL_TOP, FILL_BOTTOM = (86, 156, 232), (24, 82, 168)
EDGE = (16, 52, 112)
MARK = (255, 255, 255)
# The check mark: short stroke down to the right, long stroke up to the right.
MARK_POINTS = ((0.29, 0.49), (0.45, 0.66), (0.73, 0.33))
MARK_WIDTH = 0.105


def half_width(y, inset=0.0):
    """The shield's half width at height y, shrunk by `inset`; < 0 outside."""
    if y < TOP + inset or y > TIP - inset * 1.6:
        return -1.0
    if y <= SHOULDER:
        return HALF_WIDTH - inset
    t = (y - SHOULDER) / (TIP - inset * 1.6 - SHOULDER)
    return (HALF_WIDTH - inset) * (1.0 - t * t)


def near_mark(x, y):
    return any(near_segment(x, y, a, b, MARK_WIDTH) for a, b in zip(MARK_POINTS, MARK_POINTS[1:]))


def sample(x, y):
    """The colour at a point of the unit square, or None outside the shield."""
    if abs(x - 0.5) > half_width(y):
        return None
    if abs(x - 0.5) > half_width(y, BORDER):
        return EDGE
    if near_mark(x, y):
        return MARK
    share = (y - TOP) / (TIP - TOP)
    return tuple(round(a + (b - a) * share) for a, b in zip(FILL_TOP, FILL_BOTTOM))


def scanlines(size):
    """The picture's rows as PNG keeps them, each after its filter type (0: none)."""
    return b"".join(b"\0" + bytes(value for pixel in row for value in pixel) for row in picture(size, sample))


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(size):
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(scanlines(size), 9)) +
            chunk(b"IEND", b""))


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    for dpi, size in SIZES.items():
        (folder / f"security_{dpi}.png").write_bytes(png(size))


if __name__ == "__main__":
    main()
