#!/usr/bin/env python3
"""Draws the terminal's pictures (our own, simple shapes) as PNG files:
the tool-bar strips 128 (16 x 16) and 208 (32 x 32) with previous window,
next window, close window and exit; the logo 139 / 176; the activity lamp
on 172 / 177 and off 173 / 174; the about-box pictures 230 / 231."""
import os
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
NAVY = (0, 0, 128, 255)
RED = (200, 0, 0, 255)


def toolbar(size):
    def pixel(x, y):
        square, lx = divmod(x, size)
        u, v = lx / size, y / size
        if square == 0:  # previous: a left arrow
            return NAVY if 0.2 <= u <= 0.8 and abs(v - 0.5) <= (u - 0.2) * 0.5 else CLEAR
        if square == 1:  # next: a right arrow
            return NAVY if 0.2 <= u <= 0.8 and abs(v - 0.5) <= (0.8 - u) * 0.5 else CLEAR
        if square == 2:  # close: a cross
            return RED if 0.2 <= u <= 0.8 and 0.2 <= v <= 0.8 and (abs(u - v) < 0.09 or abs(u + v - 1) < 0.09) else CLEAR
        # exit: a door
        return NAVY if 0.25 <= u <= 0.75 and 0.15 <= v <= 0.85 and not (0.33 <= u <= 0.67 and 0.23 <= v) else CLEAR
    return pixel


def lamp(on, size):
    def pixel(x, y):
        r = size / 2 - 1
        if (x - size / 2 + 0.5) ** 2 + (y - size / 2 + 0.5) ** 2 <= r * r:
            return (0, 220, 0, 255) if on else (90, 90, 90, 255)
        return CLEAR
    return pixel


def logo(width, height):
    def pixel(x, y):
        u, v = x / width, y / height
        # three rising bars of a chart over a base line
        for i, top in enumerate((0.55, 0.35, 0.15)):
            left = 0.15 + i * 0.25
            if left <= u <= left + 0.18 and top <= v <= 0.85:
                return NAVY
        return (0, 0, 0, 255) if 0.87 <= v <= 0.9 and 0.1 <= u <= 0.9 else CLEAR
    return pixel


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    write_png(os.path.join(here, 'toolbar_16.png'), 64, 16, toolbar(16))
    write_png(os.path.join(here, 'toolbar_32.png'), 128, 32, toolbar(32))
    write_png(os.path.join(here, 'lamp_on_16.png'), 16, 16, lamp(True, 16))
    write_png(os.path.join(here, 'lamp_off_16.png'), 16, 16, lamp(False, 16))
    write_png(os.path.join(here, 'lamp_on_32.png'), 32, 32, lamp(True, 32))
    write_png(os.path.join(here, 'lamp_off_32.png'), 32, 32, lamp(False, 32))
    write_png(os.path.join(here, 'logo_small.png'), 96, 64, logo(96, 64))
    write_png(os.path.join(here, 'logo_large.png'), 192, 128, logo(192, 128))
    write_png(os.path.join(here, 'about_large.png'), 160, 100, logo(160, 100))
    write_png(os.path.join(here, 'about_small.png'), 80, 50, logo(80, 50))
