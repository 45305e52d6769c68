#!/usr/bin/env python3
"""Draws the layer's sample artwork into PNG files beside this script.

Our own simple pictures, drawn from code so that they can be changed and drawn
again: run `python3 draw_artwork.py` here and commit the PNG files. Needs only
the Python standard library. A module that needs more pictures may draw them
the same way (or with any painting program) and keep the PNG files in its own
artwork folder.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

CLEAR = (0, 0, 0, 0)
BLACK = (0, 0, 0, 255)
WHITE = (255, 255, 255, 255)
FACE = (212, 208, 200, 255)
LIGHT = (255, 255, 255, 255)
SHADOW = (128, 128, 128, 255)
DARK = (64, 64, 64, 255)
NAVY = (24, 48, 112, 255)
SKY = (96, 160, 232, 255)
GREEN = (0, 176, 64, 255)
RED = (216, 32, 32, 255)
GOLD = (240, 192, 32, 255)


class Picture:
    def __init__(self, width, height, fill=CLEAR):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, left, top, right, bottom, colour):
        """Fills [left, right) x [top, bottom)."""
        for y in range(top, bottom):
            for x in range(left, right):
                self.put(x, y, colour)

    def frame(self, left, top, right, bottom, colour):
        for x in range(left, right):
            self.put(x, top, colour)
            self.put(x, bottom - 1, colour)
        for y in range(top, bottom):
            self.put(left, y, colour)
            self.put(right - 1, y, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(self.height):
            for x in range(self.width):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, colour)

    def ring(self, cx, cy, r, width, colour):
        for y in range(self.height):
            for x in range(self.width):
                d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
                if r - width <= d <= r:
                    self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            for dy in range(width):
                for dx in range(width):
                    self.put(x + dx, y + dy, colour)

    def polygon(self, points, colour):
        """Fills the polygon (pixel centres inside, even-odd rule)."""
        for y in range(self.height):
            yc = y + 0.5
            xs = []
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay <= yc < by) or (by <= yc < ay):
                    xs.append(ax + (yc - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                for x in range(self.width):
                    if a <= x + 0.5 < b:
                        self.put(x, y, colour)

    def save(self, name):
        raw = b"".join(b"\0" + b"".join(struct.pack("4B", *p) for p in row) for row in self.pixels)

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        png = (b"\x89PNG\r\n\x1a\n"
               + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(raw, 9))
               + chunk(b"IEND", b""))
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(png)


def logo():
    p = Picture(96, 48)
    p.rect(1, 0, 95, 48, NAVY)
    p.rect(0, 1, 96, 47, NAVY)
    # Candles rising from left to right.
    for i, (low, high, top, bottom, colour) in enumerate(
            [(34, 42, 36, 40, RED), (28, 40, 30, 36, GREEN), (26, 36, 28, 34, RED),
             (18, 32, 20, 28, GREEN), (12, 26, 14, 22, GREEN), (6, 20, 8, 16, GREEN)]):
        x = 10 + i * 8
        p.line(x + 2, low, x + 2, high, WHITE)
        p.rect(x, top, x + 5, bottom, colour)
    p.line(8, 40, 60, 8, GOLD, 2)
    # A "K" mark on the right.
    p.rect(68, 10, 73, 38, WHITE)
    p.polygon([(73, 22), (84, 10), (90, 10), (77, 24)], WHITE)
    p.polygon([(75, 22), (80, 22), (90, 38), (84, 38)], WHITE)
    p.save("logo.png")


def lamp(name, colour):
    p = Picture(12, 12)
    p.disc(6, 6, 5.8, DARK)
    p.disc(6, 6, 4.8, colour)
    p.disc(4.5, 4.5, 1.5, (255, 255, 255, 160))
    p.save(name)


def toolbar():
    p = Picture(64, 16)
    # 0: connect (a plug).
    p.rect(2, 6, 9, 11, DARK)
    p.rect(9, 7, 13, 8, DARK)
    p.rect(9, 9, 13, 10, DARK)
    p.line(0, 8, 2, 8, DARK)
    # 1: chart (bars and a line).
    for i, h in enumerate([5, 8, 6, 11]):
        p.rect(17 + i * 3, 15 - h, 19 + i * 3, 15, SKY)
    p.line(16, 12, 29, 2, RED)
    # 2: order (a sheet with lines).
    p.rect(35, 1, 45, 15, WHITE)
    p.frame(35, 1, 45, 15, DARK)
    for y in (4, 7, 10):
        p.line(37, y, 42, y, NAVY)
    # 3: settings (a wheel with teeth).
    p.disc(56, 8, 6, SHADOW)
    for dx, dy in ((0, -7), (0, 6), (-7, 0), (6, 0)):
        p.rect(55 + dx, 7 + dy, 57 + dx, 9 + dy, SHADOW)
    p.disc(56, 8, 2.5, CLEAR)
    p.save("toolbar.png")


def button_face(p, pressed, focused):
    w, h = p.width, p.height
    p.rect(0, 0, w, h, FACE)
    outer_lt, outer_rb = (DARK, LIGHT) if pressed else (LIGHT, DARK)
    inner_rb = None if pressed else SHADOW
    p.line(0, 0, w - 1, 0, outer_lt)
    p.line(0, 0, 0, h - 1, outer_lt)
    p.line(0, h - 1, w - 1, h - 1, outer_rb)
    p.line(w - 1, 0, w - 1, h - 1, outer_rb)
    if inner_rb:
        p.line(1, h - 2, w - 2, h - 2, inner_rb)
        p.line(w - 2, 1, w - 2, h - 2, inner_rb)
    if focused:
        for x in range(3, w - 3, 2):
            p.put(x, 3, BLACK)
            p.put(x, h - 4, BLACK)
        for y in range(3, h - 3, 2):
            p.put(3, y, BLACK)
            p.put(w - 4, y, BLACK)


def add_column_buttons():
    for suffix, pressed, focused in (("U", False, False), ("D", True, False), ("F", False, True)):
        p = Picture(33, 17)
        button_face(p, pressed, focused)
        shift = 1 if pressed else 0
        p.polygon([(12 + shift, 4 + shift), (21 + shift, 8.5 + shift), (12 + shift, 13 + shift)], BLACK)
        p.save("ADDCOL_BTN%s.png" % suffix)


def ping():
    p = Picture(32, 32)
    p.disc(10, 22, 8, SKY)
    p.ring(10, 22, 8, 1.2, NAVY)
    p.line(2, 22, 18, 22, NAVY)
    p.line(10, 14, 10, 30, NAVY)
    for r in (8, 13, 18):
        p.ring(10, 22, r + 4, 1.5, GREEN if r < 18 else GOLD)
    p.rect(0, 0, 32, 2, CLEAR)
    p.save("ping.png")


if __name__ == "__main__":
    logo()
    lamp("lamp_green.png", GREEN)
    lamp("lamp_red.png", RED)
    toolbar()
    add_column_buttons()
    ping()
