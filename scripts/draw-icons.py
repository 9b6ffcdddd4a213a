#!/usr/bin/env python3
"""Draws the button images and the application icon at twice their size
(app/images/*@2x.png), for screens scaled to 150 % and more: the same shapes
and colours as the 1x images, drawn anew with smooth edges rather than
enlarged. Coordinates are those of the 1x image. Run from anywhere."""
import math
import os
import struct
import zlib

SCALE = 2
SAMPLES = 6  # per pixel and axis


def arc(cx, cy, r_in, r_out, below=None):
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        return r_in <= d <= r_out and (below is None or y <= below)
    return inside


def disc(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) <= r


def bar(x0, y0, x1, y1, half_width):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        return math.hypot(x - x0 - t * dx, y - y0 - t * dy) <= half_width
    return inside


def rect(x0, y0, x1, y1, clip=None):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1 and (clip is None or clip(x, y))


def any_of(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def draw(width, height, layers):
    """layers: (colour, shape) from the bottom up; returns RGBA rows."""
    w, h = width * SCALE, height * SCALE
    rows = []
    for py in range(h):
        row = bytearray()
        for px in range(w):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / SCALE
                    y = (py + (sy + 0.5) / SAMPLES) / SCALE
                    for colour, shape in reversed(layers):
                        if shape(x, y):
                            r, g, b, a = r + colour[0], g + colour[1], b + colour[2], a + 1
                            break
            n = SAMPLES * SAMPLES
            # Colours are kept unpremultiplied, so edges do not darken.
            row += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / n)) if a else (0, 0, 0, 0))
        rows.append(bytes(row))
    return w, h, rows


def write_png(path, size_rows):
    w, h, rows = size_rows
    raw = b''.join(b'\x00' + row for row in rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


BLUE, RED, DARK = (0, 120, 215), (220, 60, 40), (40, 40, 40)
GREEN, WHITE = (0, 150, 90), (255, 255, 255)
SKY, SMOKE, CHIMNEY = (0, 170, 255), (200, 200, 200), (60, 60, 60)

images = {
    # A gauge: its dial from left to right over the top, a needle to the upper right.
    'ang@2x.png': (25, 23, [(BLUE, arc(12.5, 16, 9.2, 11.5, below=16)),
                            (DARK, disc(12.5, 15.8, 1.6)),
                            (RED, bar(12.2, 15.6, 17.3, 8.6, 1.2))]),
    # A clock with its hands at three.
    'time@2x.png': (25, 23, [(GREEN, disc(12.5, 11.5, 11.5)),
                             (WHITE, disc(12.5, 11.5, 9.2)),
                             (DARK, any_of(bar(12.5, 11.8, 12.5, 5.3, 0.55),
                                           bar(12.5, 11.8, 16.8, 11.8, 0.55)))]),
    # Smoke from a chimney in a round sky.
    'opacimeter@2x.png': (64, 64, [(SKY, disc(32, 32, 30)),
                                   (SMOKE, any_of(disc(36, 14.5, 6.2), disc(26, 22, 7), disc(32, 31.5, 8.2))),
                                   (CHIMNEY, rect(24, 40, 41, 64, clip=disc(32, 32, 30)))]),
}

folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'app', 'images')
for name, (width, height, layers) in images.items():
    write_png(os.path.join(folder, name), draw(width, height, layers))
    print('wrote', name)
