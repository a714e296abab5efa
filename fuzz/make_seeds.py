#!/usr/bin/env python3
"""Writes the seed corpora: small valid BMP files at 8, 16, 24 (and 32) bits, small
JPEG files made by cjpeg in every sampling, grey, with restart intervals, odd sizes, and
progressive and extended sequential ones made from them by jpegtran, and
the PNG, GIF and WebP test pictures of tests/formats/make_picture_cases.py (every PNG
colour type and depth, interlaced, broken and odd PNG files; GIF and WebP stills and
animations)."""
import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))


def card(w, h):
    """A small test card: gradients with a diagonal stripe."""
    return [[((x * 255) // max(w - 1, 1), (y * 255) // max(h - 1, 1),
              255 if (x + y) % 7 < 2 else (x * y) % 256) for x in range(w)] for y in range(h)]


def bmp(px, bits):
    h, w = len(px), len(px[0])
    bpp = {8: 1, 16: 2, 24: 3, 32: 4}[bits]
    stride = (w * bpp + 3) & ~3
    pal = b''
    if bits == 8:
        pal = b''.join(struct.pack('<BBBB', (i & 7) * 36, ((i >> 3) & 7) * 36, (i >> 6) * 85, 0)
                       for i in range(256))
    rows = b''
    for y in range(h - 1, -1, -1):
        row = b''
        for r, g, b in px[y]:
            if bits == 8:
                row += bytes([(r * 7 // 255) | ((g * 7 // 255) << 3) | ((b * 3 // 255) << 6)])
            elif bits == 16:
                row += struct.pack('<H', (b >> 3) | ((g >> 3) << 5) | ((r >> 3) << 10))
            else:
                row += bytes([b, g, r]) + (b'\0' if bits == 32 else b'')
        rows += row + b'\0' * (stride - len(row))
    off = 54 + len(pal)
    head = b'BM' + struct.pack('<IIIIiiHHIIiiII', off + len(rows), 0, off, 40, w, h, 1, bits,
                               0, len(rows), 3780, 3780, 0, 0)
    return head + pal + rows


def ppm(px):
    h, w = len(px), len(px[0])
    return b'P6\n%d %d\n255\n' % (w, h) + bytes(c for row in px for p in row for c in p)


def cjpeg(px, args):
    return subprocess.run(['cjpeg'] + args, input=ppm(px), capture_output=True,
                          check=True).stdout


# Scan scripts for jpegtran: spectral splits with successive approximation, and one
# sequential scan per component.
REFINE = ('0,1,2: 0-0, 0, 1; 0: 1-5, 0, 2; 0: 6-63, 0, 1; 1: 1-63, 0, 0; 2: 1-63, 0, 1;'
          '0,1,2: 0-0, 1, 0; 0: 1-5, 2, 1; 0: 1-5, 1, 0; 0: 6-63, 1, 0; 2: 1-63, 1, 0;')
SEQUENTIAL = '0: 0-63, 0, 0; 1: 0-63, 0, 0; 2: 0-63, 0, 0;'


def jpegtran(jpeg, args, script=None):
    with tempfile.TemporaryDirectory() as folder:
        if script:
            path = os.path.join(folder, 'scans')
            with open(path, 'w') as f:
                f.write(script)
            args = args + ['-scans', path]
        out = subprocess.run(['jpegtran', '-copy', 'none'] + args, input=jpeg,
                             capture_output=True, check=True).stdout
    return out


def as_extended(jpeg):
    """The same file with the extended sequential frame marker."""
    at = jpeg.index(b'\xff\xc0')
    return jpeg[:at + 1] + b'\xc1' + jpeg[at + 2:]


def library_pictures(loader):
    """Copies the PNG, GIF and WebP test pictures into the loader's corpus."""
    script = os.path.join(os.path.dirname(here), 'tests', 'formats', 'make_picture_cases.py')
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(['/usr/bin/python3', script, tmp], check=True)
        for pattern in ('*.png', '*.gif', '*.webp', 'odd/*.png'):
            for path in glob.glob(os.path.join(tmp, pattern)):
                prefix = 'odd_' if os.sep + 'odd' + os.sep in path else ''
                shutil.copy(path, os.path.join(loader, prefix + os.path.basename(path)))


def main():
    loader = os.path.join(here, 'corpus', 'fuzz_loader')
    roundtrip = os.path.join(here, 'corpus', 'fuzz_bmp_roundtrip')
    os.makedirs(loader, exist_ok=True)
    os.makedirs(roundtrip, exist_ok=True)
    for bits in (8, 16, 24, 32):
        with open(os.path.join(loader, 'card_5x3_%d.bmp' % bits), 'wb') as f:
            f.write(bmp(card(5, 3), bits))
    jpegs = {
        '444_16x16': (card(16, 16), ['-sample', '1x1']),
        '422_17x9': (card(17, 9), ['-sample', '2x1']),
        '440_9x17': (card(9, 17), ['-sample', '1x2']),
        '420_17x9': (card(17, 9), ['-sample', '2x2', '-quality', '60']),
        '420_33x20_restart1': (card(33, 20), ['-sample', '2x2', '-restart', '1B']),
        'grey_12x10': (card(12, 10), ['-grayscale']),
        '444_24x8_q100': (card(24, 8), ['-sample', '1x1', '-quality', '100']),
        '420_40x24_optimize': (card(40, 24), ['-optimize', '-restart', '2B']),
    }
    for name, (px, args) in jpegs.items():
        with open(os.path.join(loader, name + '.jpg'), 'wb') as f:
            f.write(cjpeg(px, args))
    progressive = {
        'prog_420_33x20': (card(33, 20), ['-sample', '2x2'], ['-progressive'], None),
        'prog_grey_12x10': (card(12, 10), ['-grayscale'], ['-progressive'], None),
        'prog_422_24x16_refine_restart': (card(24, 16), ['-sample', '2x1'], ['-restart', '1B'],
                                          REFINE),
        'prog_444_17x9_refine': (card(17, 9), ['-sample', '1x1'], [], REFINE),
    }
    for name, (px, args, tran, script) in progressive.items():
        with open(os.path.join(loader, name + '.jpg'), 'wb') as f:
            f.write(jpegtran(cjpeg(px, args), tran, script))
    with open(os.path.join(loader, 'sof1_420_17x9_scans.jpg'), 'wb') as f:
        f.write(as_extended(jpegtran(cjpeg(card(17, 9), ['-sample', '2x2']), [], SEQUENTIAL)))
    library_pictures(loader)
    # Round trip: depth selector, width, height, pal_size bytes, then keys and pixels.
    seeds = {
        'depth24_3x2': bytes([0, 3, 2, 0, 0]) + bytes(range(200)),
        'depth16_5x5': bytes([1, 5, 5, 0, 0]) + bytes(range(255, 0, -1)),
        'depth8_4x4_pal16': bytes([2, 4, 4, 16, 0]) + bytes((i * 37) & 255 for i in range(900)),
        'depth8_2x2_pal256': bytes([2, 2, 2, 0, 1]) + bytes(800),
    }
    for name, data in seeds.items():
        with open(os.path.join(roundtrip, name), 'wb') as f:
            f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main())
