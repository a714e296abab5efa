#!/usr/bin/env python3
"""Makes the sample test cards: BMP at 8, 16 and 24 bits, and JPEGs made with cjpeg in
each sampling (4:4:4, 4:2:2, 4:4:0, 4:2:0) and grey. Run from anywhere; writes beside
this script. Needs python3 and cjpeg (Debian's libjpeg-turbo-progs)."""
import math
import os
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
W, H = 256, 192

BARS = [(255, 255, 255), (255, 255, 0), (0, 255, 255), (0, 255, 0),
        (255, 0, 255), (255, 0, 0), (0, 0, 255), (0, 0, 0)]


def card():
    """Colour bars, grey and primary ramps, a grid of fine lines and a ring."""
    px = []
    for y in range(H):
        row = []
        for x in range(W):
            if y < 64:
                c = BARS[x * 8 // W]
            elif y < 80:
                v = x * 255 // (W - 1)
                c = (v, v, v)
            elif y < 96:
                v = x * 255 // (W - 1)
                c = [(v, 0, 0), (0, v, 0), (0, 0, v)][(x * 3) // W]
            elif y < 144:
                on = (x % 8 == 0) or (y % 8 == 0) or ((x // 2 + y // 2) % 2 == 0 and x > 192)
                c = (230, 230, 230) if on else (40, 60, 90)
            else:
                dx, dy = x - W / 2, y - 168
                r = math.hypot(dx, dy * 2)
                hue = (math.atan2(dy, dx) + math.pi) / (2 * math.pi)
                if 20 < r < 44:
                    c = tuple(int(127.5 + 127.5 * math.cos(2 * math.pi * (hue - k / 3)))
                              for k in range(3))
                else:
                    v = 16 + (x * 64) // W
                    c = (v, v, v + 20)
            row.append(c)
        px.append(row)
    return px


def palette_index(c):
    """A 6 x 6 x 6 colour cube (indexes 0-215) and 40 greys (216-255)."""
    r, g, b = c
    if r == g == b:
        return 216 + r * 39 // 255
    return (r * 5 + 127) // 255 * 36 + (g * 5 + 127) // 255 * 6 + (b * 5 + 127) // 255


def palette():
    out = b''
    for i in range(256):
        if i < 216:
            r, g, b = i // 36 * 51, i // 6 % 6 * 51, i % 6 * 51
        else:
            r = g = b = (i - 216) * 255 // 39
        out += bytes([b, g, r, 0])
    return out


def bmp(px, bits):
    bpp = bits // 8
    stride = (W * bpp + 3) & ~3
    pal = palette() if bits == 8 else b''
    rows = b''
    for y in range(H - 1, -1, -1):
        row = b''
        for r, g, b in px[y]:
            if bits == 8:
                row += bytes([palette_index((r, g, b))])
            elif bits == 16:
                row += struct.pack('<H', (b >> 3) | ((g >> 3) << 5) | ((r >> 3) << 10))
            else:
                row += bytes([b, g, r])
        rows += row + b'\0' * (stride - len(row))
    off = 54 + len(pal)
    head = b'BM' + struct.pack('<IIIIiiHHIIiiII', off + len(rows), 0, off, 40, W, H, 1, bits,
                               0, len(rows), 3780, 3780, 0, 0)
    return head + pal + rows


def main():
    px = card()
    for bits in (8, 16, 24):
        with open(os.path.join(HERE, 'card_%dbit.bmp' % bits), 'wb') as f:
            f.write(bmp(px, bits))
    ppm = b'P6\n%d %d\n255\n' % (W, H) + bytes(c for row in px for p in row for c in p)
    for name, args in [('444', ['-sample', '1x1']), ('422', ['-sample', '2x1']),
                       ('440', ['-sample', '1x2']), ('420', ['-sample', '2x2']),
                       ('grey', ['-grayscale'])]:
        jpeg = subprocess.run(['cjpeg', '-quality', '90'] + args, input=ppm,
                              capture_output=True, check=True).stdout
        with open(os.path.join(HERE, 'card_%s.jpg' % name), 'wb') as f:
            f.write(jpeg)


if __name__ == '__main__':
    main()
