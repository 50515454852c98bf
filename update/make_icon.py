#!/usr/bin/env python3
"""Draws the updater's program icon (icon 128): a blue disc with a white upward arrow over a bar,
at 16x16 and 32x32, 32-bit with alpha. Writes update.ico beside this script (committed)."""
import struct
from pathlib import Path


def pixel(x, y, n):
    """RGBA of pixel (x, y) in an n-by-n image; coordinates are scaled to a 32-unit grid."""
    u, v = (x + 0.5) * 32 / n, (y + 0.5) * 32 / n
    dx, dy = u - 16, v - 16
    if dx * dx + dy * dy > 15.5 * 15.5:
        return (0, 0, 0, 0)
    shaft = abs(dx) <= 3 and 12 <= v <= 21
    head = 5 <= v < 12 and abs(dx) <= (v - 5) * 1.15
    base = 23 <= v <= 26 and abs(dx) <= 9
    if shaft or head or base:
        return (255, 255, 255, 255)
    shade = int(40 * (v / 32))
    return (30, 120 - shade, 215 - shade, 255)


def image(n):
    """BITMAPINFOHEADER, BGRA rows bottom-up, then an all-zero AND mask (alpha decides)."""
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in reversed(range(n)):
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            rows += bytes((b, g, r, a))
    mask_row = ((n + 31) // 32) * 4
    return header + bytes(rows) + bytes(mask_row * n)


def main():
    sizes = (16, 32)
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    Path(__file__).with_name("update.ico").write_bytes(out)


if __name__ == "__main__":
    main()
