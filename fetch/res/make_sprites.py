#!/usr/bin/env python3
"""Draws the two button sprite strips of the download dialog and writes them as PNG files.

close.png  180x19, 8-bit RGBA, four 45x19 cells: a cross on a light-blue face; red face when
           hovered, darker red when pressed, pale face with a grey cross when disabled.
cancel.png 332x21, 8-bit palette, four 83x21 cells: a plain rounded light-blue face; lighter when
           hovered, blue when pressed, grey when disabled.
Cells lie side by side in the order normal, hover, pressed, disabled.
Usage: make_sprites.py [OUTDIR]   (default: the folder of this script)
"""
import os
import struct
import sys
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, color_type, rows, extra=b""):
    """rows: list of bytes, one per scan line, without the filter byte."""
    header = struct.pack(">IIBBBBB", width, height, 8, color_type, 0, 0, 0)
    raw = b"".join(b"\x00" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def close_strip():
    """Close button: 45x19 cells, RGBA."""
    cw, ch = 45, 19
    faces = [((206, 230, 242), (70, 110, 140)), ((232, 17, 35), (255, 255, 255)),
             ((160, 10, 22), (255, 255, 255)), ((236, 240, 242), (160, 160, 160))]
    rows = []
    for y in range(ch):
        row = bytearray()
        for face, cross in faces:
            for x in range(cw):
                # A cross 9 pixels wide centred in the cell, two pixels thick.
                dx, dy = x - (cw - 1) / 2, y - (ch - 1) / 2
                on_cross = abs(dx) <= 4.5 and (abs(dx - dy) <= 1.0 or abs(dx + dy) <= 1.0)
                row += bytes(cross if on_cross else face) + b"\xff"
        rows.append(bytes(row))
    return png(cw * 4, ch, 6, rows)


def cancel_strip():
    """Caption button: 83x21 cells, palette with a transparent index for the rounded corners."""
    cw, ch = 83, 21
    palette = [(0, 0, 0),                                     # 0 transparent corner
               (120, 160, 190), (198, 226, 244), (170, 205, 228),   # normal: border, top, bottom
               (120, 160, 190), (226, 242, 252), (204, 230, 246),   # hover
               (40, 90, 150), (90, 150, 215), (60, 120, 190),       # pressed
               (170, 170, 170), (230, 230, 230), (214, 214, 214)]   # disabled
    rows = []
    radius = 4
    for y in range(ch):
        row = bytearray()
        for state in range(4):
            base = 1 + state * 3
            for x in range(cw):
                cx = min(x, cw - 1 - x)
                cy = min(y, ch - 1 - y)
                if cx < radius and cy < radius:
                    d = ((radius - cx - 0.5) ** 2 + (radius - cy - 0.5) ** 2) ** 0.5
                    if d > radius:
                        row.append(0)
                        continue
                    if d > radius - 1:
                        row.append(base)
                        continue
                if cx == 0 or cy == 0:
                    row.append(base)
                else:
                    row.append(base + 1 if y < ch // 2 else base + 2)
        rows.append(bytes(row))
    plte = chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    trns = chunk(b"tRNS", b"\x00")
    return png(cw * 4, ch, 3, rows, plte + trns)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, data in (("close.png", close_strip()), ("cancel.png", cancel_strip())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
