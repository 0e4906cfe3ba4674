#!/usr/bin/env python3
"""Writes resources/upsell_progress.avi: the offer page's loading animation,
a ring of eight dots with one dark dot going round, as an uncompressed
8-bit AVI (what the animation control plays without a codec). Run it again
to remake the file; the output is the same each time."""
import math
import struct
import sys
from pathlib import Path

SIZE = 24
FRAMES = 8
RATE = 8  # frames per second
# Palette: 0 the background (transparent in the control), 1 light, 2 dark.
PALETTE = [(255, 255, 255), (200, 200, 200), (80, 80, 80)] + [(0, 0, 0)] * 253


def frame(index):
    pixels = bytearray(SIZE * SIZE)
    centre = (SIZE - 1) / 2
    for dot in range(FRAMES):
        angle = 2 * math.pi * dot / FRAMES
        cx, cy = centre + 8 * math.cos(angle), centre + 8 * math.sin(angle)
        colour = 2 if dot == index else 1
        for y in range(SIZE):
            for x in range(SIZE):
                if (x - cx) ** 2 + (y - cy) ** 2 <= 2.6 ** 2:
                    pixels[y * SIZE + x] = colour
    # DIB rows run bottom-up; 24 bytes per row are already 4-byte aligned.
    return b"".join(bytes(pixels[y * SIZE:(y + 1) * SIZE]) for y in reversed(range(SIZE)))


def chunk(fourcc, data):
    pad = b"\0" if len(data) % 2 else b""
    return fourcc + struct.pack("<I", len(data)) + data + pad


def riff_list(kind, fourcc, data):
    return kind + struct.pack("<I", len(data) + 4) + fourcc + data


def main():
    frames = [frame(i) for i in range(FRAMES)]
    frame_size = len(frames[0])
    avih = struct.pack("<14I", 1000000 // RATE, frame_size * RATE, 0, 0x10, FRAMES, 0, 1, frame_size,
                       SIZE, SIZE, 0, 0, 0, 0)
    strh = (b"vids" + b"\0\0\0\0" + struct.pack("<IHHIIIIIIIi", 0, 0, 0, 0, 1, RATE, 0, FRAMES, frame_size,
                                                 0xFFFFFFFF, 0) + struct.pack("<4h", 0, 0, SIZE, SIZE))
    bitmap = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 8, 0, frame_size, 0, 0, 256, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    strl = riff_list(b"LIST", b"strl", chunk(b"strh", strh) + chunk(b"strf", bitmap + palette))
    hdrl = riff_list(b"LIST", b"hdrl", chunk(b"avih", avih) + strl)
    movi_data = b"".join(chunk(b"00db", f) for f in frames)
    movi = riff_list(b"LIST", b"movi", movi_data)
    # idx1 offsets count from the "movi" four-character code.
    index = b"".join(struct.pack("<4sIII", b"00db", 0x10, 4 + i * (8 + frame_size), frame_size)
                     for i in range(FRAMES))
    avi = riff_list(b"RIFF", b"AVI ", hdrl + movi + chunk(b"idx1", index))
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("upsell_progress.avi")
    target.write_bytes(avi)


if __name__ == "__main__":
    main()
