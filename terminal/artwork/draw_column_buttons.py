#!/usr/bin/env python3
"""Draws the pictures of the column setup dialog's buttons (our own, simple
shapes) as PNG files: add, add all, remove, remove all, move up and move down,
each normal (U), pressed (D) and focused (F). Plain and landscape sets are
33 x 17 pixels (the arrows 15 x 27), VGA sets 66 x 34 (the arrows 30 x 56).
In portrait the lists are one above the other, so add points down; in
landscape they stand side by side, so add points right."""
import os

from draw_artwork import write_png

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, 'column_buttons')


FACE = (212, 208, 200, 255)
PRESSED = (170, 166, 160, 255)
EDGE = (64, 64, 64, 255)
FOCUS = (0, 0, 200, 255)
SYMBOL = (0, 0, 128, 255)


def triangle(u, v, direction, centre):
    """A filled triangle pointing `direction` in the unit square, its base
    across `centre` of the other axis."""
    if direction in ('down', 'up'):
        along, across = (v, u) if direction == 'down' else (1 - v, u)
    else:
        along, across = (u, v) if direction == 'right' else (1 - u, v)
    return 0.25 <= along <= 0.75 and abs(across - centre) <= (0.75 - along) * 0.8


def button(width, height, direction, double, state):
    def pixel(x, y):
        if x == 0 or y == 0 or x == width - 1 or y == height - 1:
            return FOCUS if state == 'F' else EDGE
        shift = 1 if state == 'D' else 0
        u, v = (x - shift) / width, (y - shift) / height
        horizontal = direction in ('left', 'right')
        centres = [0.35, 0.65] if double else [0.5]
        for c in centres:
            if horizontal and triangle(u, v, direction, 0.5) and abs(u - c) <= 0.25:
                uu = (u - c) + 0.5
                if triangle(uu, v, direction, 0.5):
                    return SYMBOL
            if not horizontal:
                vv = (v - c) + 0.5 if double else v
                if triangle(u, vv if double else v, direction, 0.5):
                    return SYMBOL
        return PRESSED if state == 'D' else FACE
    return pixel


def main():
    os.makedirs(OUT, exist_ok=True)
    sets = []
    for vga, scale in (('', 1), ('VGA', 2)):
        w, h = 33 * scale, 17 * scale
        aw, ah = 15 * scale, 27 * scale
        sets += [
            ('ADDCOL%s_BTN' % vga, w, h, 'down', False), ('ADDALL%s_BTN' % vga, w, h, 'down', True),
            ('REMCOL%s_BTN' % vga, w, h, 'up', False), ('REMALL%s_BTN' % vga, w, h, 'up', True),
            ('ADDCOLH%s_BTN' % vga, w, h, 'right', False), ('ADDALLH%s_BTN' % vga, w, h, 'right', True),
            ('REMCOLH%s_BTN' % vga, w, h, 'left', False), ('REMALLH%s_BTN' % vga, w, h, 'left', True),
            ('MOVEUP%s_BTN' % vga, aw, ah, 'up', False), ('MOVEDOWN%s_BTN' % vga, aw, ah, 'down', False),
        ]
    for name, w, h, direction, double in sets:
        for state in 'UDF':
            write_png(os.path.join(OUT, name + state + '.png'), w, h, button(w, h, direction, double, state))


if __name__ == '__main__':
    main()
