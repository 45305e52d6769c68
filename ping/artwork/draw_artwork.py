#!/usr/bin/env python3
"""Draws the ping utility's pictures (our own, simple shapes) as PNG files:
134 idle (a green play arrow), 135 running (a red stop square), 129 the
repeat-mode tool bar (1, 4 and 8 dots on 16 x 16 squares)."""
import struct
import zlib


def write_png(path, width, height, pixel):
    rows = b''.join(b'\0' + b''.join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b'')
    with open(path, 'wb') as out:
        out.write(png)


CLEAR = (0, 0, 0, 0)


def idle(x, y):
    inside = 4 <= x <= 12 and abs(y - 6.5) <= (x - 4) * -0.7 + 6
    return (0, 160, 0, 255) if inside else CLEAR


def running(x, y):
    return (200, 0, 0, 255) if 3 <= x <= 12 and 2 <= y <= 11 else CLEAR


DOTS = {1: [(8, 8)], 4: [(5, 5), (11, 5), (5, 11), (11, 11)],
        8: [(3, 5), (7, 5), (11, 5), (15, 5), (3, 11), (7, 11), (11, 11), (15, 11)]}


def toolbar(x, y):
    square, lx = divmod(x, 16)
    for cx, cy in DOTS[(1, 4, 8)[square]]:
        if (lx - cx + 0.5) ** 2 + (y - cy + 0.5) ** 2 <= 2.5:
            return (0, 0, 128, 255)
    return CLEAR


write_png('ping_idle.png', 16, 14, idle)
write_png('ping_running.png', 16, 14, running)
write_png('ping_toolbar.png', 48, 16, toolbar)
