#!/usr/bin/env python3
"""Writes resources/setup_type_custom.ico, _complete, _repair and _remove: the
setup type page's picture buttons, a rounded square in the choice's colour
with a white sign (sliders, a check mark, a wrench, a cross), each file
holding the pictures 32, 40, 48 and 64 pixels square for 96, 120, 144 and
192 DPI, the 32-pixel one first. Each pixel is the average of 8 x 8 samples.
Run it again to remake the files; the output is the same each time."""
import math
import struct
import sys
from pathlib import Path

from supersample import near_segment, picture

SIZES = (32, 40, 48, 64)
WHITE, YELLOW = (255, 255, 255), (242, 193, 78)
INSET, RADIUS = 0.03, 0.18


def in_box(x, y, left, top, right, bottom):
    return left <= x <= right and top <= y <= bottom


def custom(x, y):
    for row, knob in ((0.3, 0.62), (0.5, 0.34), (0.7, 0.52)):
        if in_box(x, y, knob - 0.06, row - 0.1, knob + 0.06, row + 0.1):
            return YELLOW
        if in_box(x, y, 0.2, row - 0.035, 0.8, row + 0.035):
            return WHITE
    return None


def complete(x, y):
    points = ((0.26, 0.52), (0.43, 0.69), (0.76, 0.32))
    return WHITE if any(near_segment(x, y, a, b, 0.13) for a, b in zip(points, points[1:])) else None


def repair(x, y):
    ring = math.hypot(x - 0.62, y - 0.38)
    if 0.075 <= ring <= 0.19 and not in_box(x, y, 0.66, 0.2, 0.9, 0.32):
        return WHITE
    return WHITE if near_segment(x, y, (0.52, 0.48), (0.25, 0.75), 0.12) else None


def remove(x, y):
    return WHITE if (near_segment(x, y, (0.3, 0.3), (0.7, 0.7), 0.13) or
                     near_segment(x, y, (0.7, 0.3), (0.3, 0.7), 0.13)) else None


ICONS = {"custom": ((47, 109, 181), custom), "complete": ((46, 139, 62), complete),
         "repair": ((199, 120, 26), repair), "remove": ((181, 47, 47), remove)}


def in_square(x, y):
    """Inside the rounded square of the unit square."""
    low, high = INSET + RADIUS, 1 - INSET - RADIUS
    cx, cy = min(max(x, low), high), min(max(y, low), high)
    return in_box(x, y, INSET, INSET, 1 - INSET, 1 - INSET) and math.hypot(x - cx, y - cy) <= RADIUS


def icon_picture(size, fill, sign):
    """The sign on the rounded square of the fill colour."""
    return picture(size, lambda x, y: (sign(x, y) or fill) if in_square(x, y) else None)


def icon_image(rows):
    """The picture as an icon file keeps it: a 32-bit bitmap bottom row
    first, then its mask (set where the picture is transparent)."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    stride = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for column, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[column // 8] |= 0x80 >> (column % 8)
        mask += bytes(bits)
    return header + colours + mask


def icon_file(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return directory + entries + data


def main():
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent
    for name, (fill, sign) in ICONS.items():
        images = [(size, icon_image(icon_picture(size, fill, sign))) for size in SIZES]
        (folder / f"setup_type_{name}.ico").write_bytes(icon_file(images))


if __name__ == "__main__":
    main()
