#!/usr/bin/env python3
"""Draws the program icon: a keyboard on a blue tile, 48x48 and 32x32, 16 colours.

Writes resources/app.ico. Run it again only to change the picture; the .ico is committed.
"""
import struct
import sys

# The 16 standard colours of 4-bit Windows bitmaps (as RGB).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, SILVER, GREY, WHITE = 0, 4, 7, 8, 15


def draw(size):
    """Returns rows (top first) of colour indices, and a transparency mask."""
    s = size / 48.0
    px = [[None] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    rect(1, 6, 47, 42, BLACK)      # outline of the tile
    rect(2, 7, 46, 41, NAVY)       # blue tile
    rect(4, 12, 44, 38, GREY)      # keyboard body
    rect(5, 13, 43, 37, SILVER)
    for row, (y, offset) in enumerate([(15, 6), (21, 8), (27, 10)]):
        for k in range(8 - row):
            x = offset + k * 4.5
            rect(x, y, x + 3.5, y + 4, WHITE)
    rect(12, 32, 36, 35, WHITE)    # space bar
    return px


def image(size):
    px = draw(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up
        row = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x in range(size):
            c = px[y][x]
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
                c = 0
            row[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += row
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def main(path):
    sizes = [48, 32]
    images = [image(n) for n in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'resources/app.ico')
