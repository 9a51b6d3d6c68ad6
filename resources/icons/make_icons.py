#!/usr/bin/env python3
"""Draws Kilnworks' icons and writes them as 16-colour .ico files beside this script.

Run it after changing a picture:  python3 resources/icons/make_icons.py
Every picture is drawn on a grid of palette indices (None is transparent) with a few shape
helpers, so the artwork lives in this file and the .ico files can always be rebuilt from it.
"""
import os
import struct

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[None] * size for _ in range(size)]

    def set(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        """Filled rectangle, both corners included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            x = round(x0 + (x1 - x0) * i / steps)
            y = round(y0 + (y1 - y0) * i / steps)
            self.rect(x, y, x + width - 1, y + width - 1, c)

    def ellipse(self, cx, cy, rx, ry, c):
        """Filled ellipse around a centre that may lie between pixels."""
        for y in range(self.size):
            for x in range(self.size):
                if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0:
                    self.set(x, y, c)

    def polygon(self, points, c):
        """Filled polygon (even-odd rule, sampled at pixel centres)."""
        for y in range(self.size):
            py = y + 0.5
            xs = []
            for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                if (ay <= py < by) or (by <= py < ay):
                    xs.append(ax + (py - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(self.size):
                    if a <= x + 0.5 <= b:
                        self.set(x, y, c)

    def pattern(self, x0, y0, rows, colours, scale=1):
        """Pixel art: one character per pixel, '.' transparent, others looked up in colours."""
        for j, row in enumerate(rows):
            for i, ch in enumerate(row):
                if ch != '.':
                    self.rect(x0 + i * scale, y0 + j * scale,
                              x0 + i * scale + scale - 1, y0 + j * scale + scale - 1, colours[ch])

    def outline(self, c):
        """Puts a one-pixel border of colour c around everything drawn so far."""
        old = [row[:] for row in self.px]
        for y in range(self.size):
            for x in range(self.size):
                if old[y][x] is None and any(
                        0 <= x + dx < self.size and 0 <= y + dy < self.size and old[y + dy][x + dx] is not None
                        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                    self.px[y][x] = c


def write_ico(path, canvases):
    """Writes 4-bit images with an AND mask: transparent pixels are black in the colour bits."""
    images = []
    for cv in canvases:
        n = cv.size
        xor_stride = ((n * 4 + 31) // 32) * 4
        and_stride = ((n + 31) // 32) * 4
        header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0,
                             xor_stride * n + and_stride * n, 0, 0, 16, 0)
        palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
        xor = b''
        mask = b''
        for y in reversed(range(n)):  # bottom-up rows
            row = bytearray(xor_stride)
            bits = bytearray(and_stride)
            for x in range(n):
                c = cv.px[y][x]
                if c is None:
                    bits[x // 8] |= 0x80 >> (x % 8)
                    c = 0
                row[x // 2] |= (c << 4) if x % 2 == 0 else c
            xor += bytes(row)
            mask += bytes(bits)
        images.append((n, header + palette + xor + mask))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in images:
        out += struct.pack('<BBBBHHII', n % 256, n % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, 'wb') as f:
        f.write(out)


def doubled(small):
    """A 32 x 32 copy of a 16 x 16 picture, every pixel a 2 x 2 block. The project lists load the
    standard-size icon and shrink it to 16 x 16, so this keeps the small picture exact there."""
    big = Canvas(32)
    for y in range(16):
        for x in range(16):
            big.rect(2 * x, 2 * y, 2 * x + 1, 2 * y + 1, small.px[y][x])
    return big


# ---- project kinds -----------------------------------------------------------------------------

def question_mark():
    cv = Canvas(16)
    cv.pattern(3, 1, [
        "..YYYYY...",
        ".YYYYYYY..",
        "YYY...YYY.",
        "YY.....YY.",
        ".......YY.",
        "......YYY.",
        ".....YYY..",
        "....YYY...",
        "....YY....",
        "....YY....",
        "..........",
        "....YY....",
        "....YY....",
    ], {'Y': YELLOW})
    cv.outline(OLIVE)
    return cv


def cpp_text():
    cv = Canvas(16)
    cv.pattern(0, 4, [
        ".NNN............",
        "NN.....N.....N..",
        "NN.....N.....N..",
        "NN...NNNNN.NNNNN",
        "NN.....N.....N..",
        "NN.....N.....N..",
        ".NNN............",
    ], {'N': NAVY})
    return cv


def vb_text():
    cv = Canvas(16)
    cv.pattern(1, 3, [
        "NN...NN.NNNNN.",
        "NN...NN.NN..NN",
        "NN...NN.NN..NN",
        ".NN.NN..NNNNN.",
        ".NN.NN..NN..NN",
        "..NNN...NN..NN",
        "..NNN...NN..NN",
        "...N....NNNNN.",
    ], {'N': NAVY})
    return cv


# ---- application icon: a brick kiln with a fire in its mouth ------------------------------------

def kiln(size):
    cv = Canvas(size)
    s = size / 32.0

    def p(v):
        return int(round(v * s))

    # Chimney and smoke.
    cv.rect(p(21), p(2), p(25) - 1, p(12), MAROON)
    cv.rect(p(20), p(2), p(26) - 1, p(4) - 1, GREY)
    if size >= 32:
        cv.set(24, 0, SILVER)
        cv.set(25, 1, SILVER)
        cv.set(22, 1, SILVER)
    # The dome and the base.
    cv.ellipse(p(16) - 0.5, p(20), p(14), p(13), RED)
    cv.rect(0, p(20), size - 1, p(29) - 1, RED)
    cv.rect(0, p(29), size - 1, size - 1, GREY)
    # Brick joints.
    if size >= 32:
        for y in range(12, 29, 4):
            for x in range(size):
                if cv.px[y][x] == RED:
                    cv.set(x, y, MAROON)
        for y0 in range(12, 29, 4):
            off = 0 if (y0 // 4) % 2 else 3
            for x in range(off, size, 6):
                for y in range(y0 + 1, min(y0 + 4, 29)):
                    if cv.px[y][x] == RED:
                        cv.set(x, y, MAROON)
    else:
        for y in (p(20), p(24)):
            cv.rect(0, y, size - 1, y, MAROON)
    # The mouth with the fire.
    cv.ellipse(p(16) - 0.5, p(24), p(7), p(6), BLACK)
    cv.rect(p(9), p(24), p(23) - 1, p(29) - 1, BLACK)
    cv.polygon([(p(11), p(29)), (p(13), p(22)), (p(15), p(25)), (p(16), p(19)),
                (p(18), p(24)), (p(20), p(21)), (p(21), p(29))], RED)
    cv.polygon([(p(13), p(29)), (p(15), p(25)), (p(16), p(23)), (p(18), p(26)), (p(19), p(29))], YELLOW)
    cv.outline(BLACK)
    return cv


# ---- package buttons (32 x 32) -----------------------------------------------------------------

def document(cv, x0=6, y0=3, x1=23, y1=28):
    cv.polygon([(x0, y0), (x1 - 5, y0), (x1 + 1, y0 + 6), (x1 + 1, y1 + 1), (x0, y1 + 1)], WHITE)
    cv.line(x0, y0, x1 - 6, y0, BLACK)
    cv.line(x1 - 6, y0, x1, y0 + 6, BLACK)
    cv.line(x0, y0, x0, y1, BLACK)
    cv.line(x0, y1, x1, y1, BLACK)
    cv.line(x1, y0 + 6, x1, y1, BLACK)
    cv.polygon([(x1 - 6, y0), (x1 - 6, y0 + 7), (x1 + 1, y0 + 7)], SILVER)
    cv.line(x1 - 6, y0, x1 - 6, y0 + 6, BLACK)
    cv.line(x1 - 6, y0 + 6, x1, y0 + 6, BLACK)


def text_lines(cv, x0, x1, ys):
    for y in ys:
        cv.line(x0, y, x1, y, GREY)


def edit_button():
    cv = Canvas(32)
    document(cv)
    text_lines(cv, 9, 19, (13, 16, 19, 22))
    # A pencil across the page, point at the lower left.
    for i in range(-2, 3):
        cv.line(14 + i, 24 + 0, 28 + i, 8 + 0, YELLOW if i else OLIVE)
    cv.line(12, 22, 26, 6, BLACK)
    cv.line(16, 26, 30, 10, BLACK)
    cv.polygon([(12, 22), (16, 26), (10, 28)], SILVER)
    cv.line(12, 22, 10, 28, BLACK)
    cv.line(16, 26, 10, 28, BLACK)
    cv.rect(10, 27, 11, 28, BLACK)
    cv.polygon([(26, 6), (30, 10), (31, 9), (27, 5)], RED)
    return cv


def open_button():
    cv = Canvas(32)
    # Folder back with its tab.
    cv.polygon([(2, 7), (11, 7), (13, 10), (27, 10), (27, 27), (2, 27)], OLIVE)
    # A page sticking out.
    cv.rect(7, 12, 24, 20, WHITE)
    cv.frame(7, 12, 24, 20, BLACK)
    text_lines(cv, 10, 21, (15, 18))
    # Open front flap.
    cv.polygon([(2, 27), (7, 16), (31, 16), (27, 27)], YELLOW)
    cv.line(2, 27, 7, 16, BLACK)
    cv.line(7, 16, 30, 16, BLACK)
    cv.line(30, 16, 27, 27, BLACK)
    cv.line(2, 27, 27, 27, BLACK)
    cv.line(2, 7, 2, 27, BLACK)
    cv.line(2, 7, 11, 7, BLACK)
    cv.line(11, 7, 13, 10, BLACK)
    cv.line(13, 10, 27, 10, BLACK)
    cv.line(27, 10, 27, 12, BLACK)
    return cv


def new_button():
    cv = Canvas(32)
    document(cv, 4, 5, 21, 30)
    text_lines(cv, 7, 17, (16, 19, 22, 25))
    # A bright star at the top right: something new.
    cx, cy = 24, 7
    for dx, dy in ((0, -6), (0, 6), (-6, 0), (6, 0)):
        cv.line(cx, cy, cx + dx, cy + dy, YELLOW)
    for dx, dy in ((-4, -4), (4, 4), (-4, 4), (4, -4)):
        cv.line(cx, cy, cx + dx, cy + dy, YELLOW)
    cv.rect(cx - 1, cy - 1, cx + 1, cy + 1, WHITE)
    cv.outline(OLIVE)
    return cv


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    icons = {
        'kilnworks.ico': [kiln(32), kiln(16)],
        'project_unknown.ico': [doubled(question_mark()), question_mark()],
        'project_vc6.ico': [doubled(cpp_text()), cpp_text()],
        'project_vb6.ico': [doubled(vb_text()), vb_text()],
        'edit_package.ico': [edit_button()],
        'open_package.ico': [open_button()],
        'new_package.ico': [new_button()],
    }
    for name, canvases in icons.items():
        write_ico(os.path.join(here, name), canvases)
        print('wrote', name)


if __name__ == '__main__':
    main()
