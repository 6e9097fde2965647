#!/usr/bin/env python3
"""Draws the utility's icon: a dark monitor screen with a green pulse line.

Writes one .ico holding a 32x32 and a 16x16 image of 16 colours (4 bits per
pixel, standard VGA palette) with their transparency masks.
Usage: make_icon.py OUT.ico
"""
import struct
import sys

PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CLEAR, BLACK, GREY, SILVER, NAVY, LIME, WHITE, GREEN = None, 0, 8, 7, 4, 10, 15, 2


def draw(size):
    px = [[CLEAR] * size for _ in range(size)]
    s = size / 32.0

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = c

    rect(1, 3, 31, 25, GREY)       # bezel
    rect(2, 4, 30, 24, SILVER)
    rect(4, 6, 28, 22, NAVY)       # screen
    rect(13, 25, 19, 28, GREY)     # neck
    rect(8, 28, 24, 30, GREY)      # foot
    # the pulse: flat, a sharp peak, a dip, flat again
    pulse = [(4, 15), (10, 15), (12, 9), (15, 20), (17, 13), (19, 15), (28, 15)]
    for (xa, ya), (xb, yb) in zip(pulse, pulse[1:]):
        steps = max(abs(xb - xa), abs(yb - ya)) * 4
        for i in range(steps + 1):
            x = (xa + (xb - xa) * i / steps) * s
            y = (ya + (yb - ya) * i / steps) * s
            for dy in (0, 1) if size >= 32 else (0,):
                xi, yi = min(int(x), size - 1), min(int(y) + dy, size - 1)
                if px[yi][xi] == NAVY or px[yi][xi] == LIME:
                    px[yi][xi] = LIME
    return px


def image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):            # bottom-up rows
        row = bytearray()
        for x in range(0, size, 2):
            a, b = (px[y][x] or 0), (px[y][x + 1] or 0)
            row.append((a << 4) | b)
        row += b'\0' * (-len(row) % 4)
        xor_rows.append(bytes(row))
        bits = bytearray((size + 7) // 8)
        for x in range(size):
            if px[y][x] is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        bits += b'\0' * (-len(bits) % 4)
        and_rows.append(bytes(bits))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def main(out):
    images = [image(32), image(16)]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in zip((32, 16), images):
        data += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    with open(out, 'wb') as f:
        f.write(data + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1])
