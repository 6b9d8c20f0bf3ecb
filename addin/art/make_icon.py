#!/usr/bin/env python3
"""Draws the add-in's icon (a small message-box window with a speech tail and a pen stroke)
and writes it as qvn.ico with 16x16 and 32x32 images in 32-bit colour. Run once; the output
is committed."""
import struct
import sys


def draw(size):
    s = size / 32.0
    px = [[(0, 0, 0, 0) for _ in range(size)] for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    navy = (40, 52, 120, 255)
    teal = (32, 140, 150, 255)
    paper = (250, 248, 240, 255)
    amber = (240, 170, 30, 255)
    ink = (30, 30, 40, 255)
    # Window frame, title bar and body.
    rect(2, 4, 28, 24, navy)
    rect(3, 5, 27, 9, teal)
    rect(3, 10, 27, 23, paper)
    # Speech tail below the window.
    for i in range(5):
        rect(8 + i, 24 + i, 13 - i // 2, 25 + i, navy)
    # Text lines in the body.
    rect(6, 13, 20, 14.5, ink)
    rect(6, 17, 16, 18.5, ink)
    # A button.
    rect(18, 19, 25, 22, teal)
    # Amber pen stroke across the corner: the add-in writes the code.
    for i in range(10):
        rect(19 + i * 1.0, 13 - i * 1.0, 22 + i * 1.0, 15 - i * 1.0, amber)
    rect(18, 14, 20, 16, ink)
    return px


def image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(struct.pack('BBBB', b, g, r, a) for row in reversed(px) for (r, g, b, a) in row)
    row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(row_bytes)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def main(path):
    sizes = [16, 32]
    images = [image(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'qvn.ico')
