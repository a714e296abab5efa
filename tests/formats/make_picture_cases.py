#!/usr/bin/python3
"""Writes the PNG, GIF and WebP test pictures into the folder given, each NAME.png (or .gif,
.webp) with NAME.expected.bmp: the pixels the viewer must show, as a 24-bit BMP.

PNG files are written here sample by sample (every colour type, depth, tRNS, interlacing).
The expected pixels are Pillow's decoding composited over black, c * a / 255 rounded;
Pillow keeps only the top byte of 16-bit colour samples, so for 16-bit files the script's own
samples, rounded to 8 bits, are the expectation, checked against Pillow's top bytes; and
for 1, 2 and 4-bit grey with tRNS, where Pillow misses the transparent grey, the alpha comes
from the samples.
GIF and WebP files are made by Pillow and expected as Pillow decodes their first frame."""
import random
import struct
import sys
import zlib
from pathlib import Path

from PIL import Image

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def pack_row(samples, depth):
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out, acc, bits = bytearray(), 0, 0
    for s in samples:
        acc, bits = (acc << depth) | s, bits + depth
        if bits == 8:
            out.append(acc)
            acc, bits = 0, 0
    if bits:
        out.append(acc << (8 - bits))
    return bytes(out)


def png_bytes(width, height, colour_type, depth, pixels, interlace, plte=None, trns=None):
    """pixels[y][x] is a tuple of samples; every row is stored unfiltered."""
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    raw = bytearray()
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        if not xs:
            continue
        for y in range(y0, height, dy):
            raw += b"\0" + pack_row([s for x in xs for s in pixels[y][x]], depth)
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 1 if interlace else 0)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
    if plte is not None:
        out += chunk(b"PLTE", bytes(v for rgb in plte for v in rgb))
    if trns is not None:
        out += chunk(b"tRNS", trns)
    return out + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def over_black(c, a):
    return (c * a + 127) // 255


def reduce16(v):
    return (v * 255 + 32767) // 65535


def write_expected(path, width, height, rgba):
    img = Image.new("RGB", (width, height))
    img.putdata([tuple(over_black(c, p[3]) for c in p[:3]) for p in rgba])
    img.save(path, "BMP")


def png_case(folder, rng, name, colour_type, depth, width, height, interlace=False,
             transparency=False):
    top = (1 << depth) - 1
    channels = CHANNELS[colour_type]
    plte = trns = None
    pixels = [[tuple(rng.randint(0, top) for _ in range(channels)) for _ in range(width)]
              for _ in range(height)]
    if colour_type == 3:
        plte = [tuple(rng.randint(0, 255) for _ in range(3)) for _ in range(top + 1)]
        if transparency:
            trns = bytes(rng.randint(0, 255) for _ in range(max(1, (top + 1) // 2)))
    elif transparency:
        key = (top,) * channels  # white, so that leaving it opaque would show
        for y in range(0, height, 2):
            pixels[y][(y * 3) % width] = key
        trns = b"".join(struct.pack(">H", s) for s in key)
    data = png_bytes(width, height, colour_type, depth, pixels, interlace, plte, trns)
    path = folder / (name + ".png")
    path.write_bytes(data)

    flat = [p for row in pixels for p in row]
    if depth == 16:
        # The expectation from the samples; Pillow must agree on their top bytes.
        key = tuple(struct.unpack(">%dH" % channels, trns)) if trns else None
        rgba = []
        for p in flat:
            alpha = 0 if p == key else 65535
            if colour_type in (4, 6):
                p, alpha = p[:-1], p[-1]
            rgb = p * 3 if len(p) == 1 else p
            rgba.append(tuple(reduce16(v) for v in rgb) + (reduce16(alpha),))
        pil = Image.open(path)
        got = list(pil.getdata())
        if pil.mode == "I":
            want = [p[0] for p in flat]
        else:
            want = [tuple(v >> 8 for v in p) for p in flat]
            if channels == 2:  # opened as RGBA
                want = [(g, g, g, a) for g, a in want]
            got = [g if isinstance(g, tuple) else (g,) for g in got]
        if got != want:
            sys.exit(name + ": Pillow reads other samples than were written")
    else:
        rgba = list(Image.open(path).convert("RGBA").getdata())
        if colour_type == 0 and depth < 8 and trns:
            # Pillow compares the tRNS grey with the scaled-up sample, which never matches:
            # its colours are kept, the alpha comes from the samples.
            rgba = [(r, g, b, 0 if p == key else 255) for (r, g, b, _), p in zip(rgba, flat)]
    write_expected(folder / (name + ".expected.bmp"), width, height, rgba)


def pillow_case(folder, name, frames, fmt, **options):
    path = folder / name
    frames[0].save(path, fmt, save_all=len(frames) > 1, append_images=frames[1:], **options)
    first = Image.open(path)  # at its first frame
    write_expected(folder / (Path(name).stem + ".expected.bmp"), first.width, first.height,
                   list(first.convert("RGBA").getdata()))


def gradient(width, height, seed, alpha=False):
    rng = random.Random(seed)
    img = Image.new("RGBA", (width, height))
    img.putdata([((x * 255) // max(1, width - 1), (y * 255) // max(1, height - 1),
                  rng.randint(0, 255), rng.choice([0, 128, 255]) if alpha else 255)
                 for y in range(height) for x in range(width)])
    return img if alpha else img.convert("RGB")


def odd_pngs(folder, rng):
    """Broken and odd PNG files in folder/odd, each named for the outcome the viewer must
    give: loaded-*, damaged-* or too_large-* (for a store of 256 x 256)."""
    odd = folder / "odd"
    odd.mkdir(exist_ok=True)
    rgb = [[(x * 20, y * 20, 99) for x in range(12)] for y in range(10)]
    good = png_bytes(12, 10, 2, 8, rgb, False)
    idat = good.index(b"IDAT") - 4
    iend = good.index(b"IEND") - 4

    def header(width, height, colour_type=2, depth=8, interlace=0):
        data = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, interlace)
        return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", data)

    def flip(data, at):
        return data[:at] + bytes([data[at] ^ 0x40]) + data[at + 1:]

    small_idat = chunk(b"IDAT", zlib.compress(b"\0" * 7))
    indices = [[(rng.randint(0, 255),) for _ in range(8)] for _ in range(8)]
    files = {
        "loaded-reference": good,
        "unrecognized-cut_in_signature": good[:5],
        "damaged-cut_in_header": good[:20],
        "damaged-cut_before_pixels": good[:idat],
        "damaged-cut_in_pixels": good[:idat + 30],
        "loaded-cut_in_last_checksum": good[:iend - 2],
        "loaded-no_end_chunk": good[:iend],
        "loaded-bytes_after_end": good + b"trailing bytes",
        "damaged-header_crc": flip(good, 29),
        "damaged-pixels_crc": flip(good, iend - 1),
        "damaged-pixels_deflate": good[:idat + 10] + b"\xff\xff" + good[idat + 12:],
        "too_large-huge_width": header(100000, 4) + small_idat + chunk(b"IEND", b""),
        "too_large-huge_both": header(0x7FFFFFFF, 0x7FFFFFFF) + small_idat + chunk(b"IEND", b""),
        "damaged-big_picture_tiny_data": header(256, 256) + small_idat + chunk(b"IEND", b""),
        "damaged-zero_width": header(0, 10) + good[idat:],
        "damaged-zero_height": header(12, 0) + good[idat:],
        "damaged-bad_depth": header(12, 10, 2, 4) + good[idat:],
        "damaged-bad_colour_type": header(12, 10, 5, 8) + good[idat:],
        "damaged-bad_interlace_method": header(12, 10, 2, 8, 2) + good[idat:],
        "damaged-palette_missing": png_bytes(8, 8, 3, 8, indices, False)[:idat] + good[idat:],
        "damaged-unknown_critical_chunk": good[:idat] + chunk(b"QUUX", b"1234") + good[idat:],
        "loaded-unknown_ancillary_chunk": good[:idat] + chunk(b"quUx", b"1234") + good[idat:],
        "damaged-two_headers": good[:33] + good[8:33] + good[33:],
        "damaged-pixels_missing": good[:idat] + chunk(b"IEND", b""),
        "loaded-empty_pixel_chunks_between":
            good[:iend] + chunk(b"IDAT", b"") + good[iend:],
        "loaded-palette_index_out_of_range":
            png_bytes(8, 8, 3, 8, indices, False, plte=[(1, 2, 3)] * 4),
        "loaded-transparency_longer_than_palette":
            png_bytes(8, 8, 3, 2, [[(x & 3,) for x in range(8)]] * 8, False, [(9, 9, 9)] * 4,
                      b"\x10" * 9),
        "loaded-one_pixel_interlaced": png_bytes(1, 1, 6, 16, [[(1, 2, 3, 4)]], True),
        "damaged-huge_ancillary_length":
            good[:idat] + struct.pack(">I", 0x7FFFFFF0) + b"teXt" + b"x" * 20 + good[idat:],
    }
    for name, data in files.items():
        (odd / (name + ".png")).write_bytes(data)


def main():
    folder = Path(sys.argv[1])
    rng = random.Random(15)
    cases = [
        ("grey1", 0, 1, 13, 7), ("grey2", 0, 2, 13, 7), ("grey4", 0, 4, 13, 7),
        ("grey8", 0, 8, 13, 7), ("grey16", 0, 16, 13, 7), ("rgb8", 2, 8, 13, 7),
        ("rgb16", 2, 16, 13, 7), ("pal1", 3, 1, 13, 7), ("pal2", 3, 2, 13, 7),
        ("pal4", 3, 4, 13, 7), ("pal8", 3, 8, 13, 7), ("greya8", 4, 8, 13, 7),
        ("greya16", 4, 16, 13, 7), ("rgba8", 6, 8, 13, 7), ("rgba16", 6, 16, 13, 7),
        ("one_pixel", 2, 8, 1, 1),
    ]
    for name, colour_type, depth, w, h in cases:
        png_case(folder, rng, name, colour_type, depth, w, h)
    for name, colour_type, depth in [("grey2_trns", 0, 2), ("grey8_trns", 0, 8),
                                     ("grey16_trns", 0, 16),
                                     ("rgb8_trns", 2, 8), ("rgb16_trns", 2, 16),
                                     ("pal4_trns", 3, 4), ("pal8_trns", 3, 8)]:
        png_case(folder, rng, name, colour_type, depth, 11, 6, transparency=True)
    for name, colour_type, depth, w, h in [("rgb8_interlaced", 2, 8, 17, 11),
                                           ("grey1_interlaced", 0, 1, 9, 9),
                                           ("pal4_interlaced", 3, 4, 10, 3),
                                           ("pal8_interlaced", 3, 8, 9, 7),
                                           ("rgba16_interlaced", 6, 16, 7, 13),
                                           ("tiny_interlaced", 6, 8, 2, 3)]:
        png_case(folder, rng, name, colour_type, depth, w, h, interlace=True)

    photo = gradient(40, 24, 1)
    see_through = gradient(40, 24, 2, alpha=True)
    pillow_case(folder, "still.gif", [photo.quantize(64)], "GIF")
    pillow_case(folder, "see_through.gif", [see_through.convert("P")], "GIF", transparency=0)
    pillow_case(folder, "flipbook.gif", [photo.quantize(32), gradient(40, 24, 3).quantize(32)],
                "GIF", duration=100, loop=0)
    pillow_case(folder, "lossy.webp", [photo], "WEBP", quality=80)
    pillow_case(folder, "lossless.webp", [photo], "WEBP", lossless=True)
    pillow_case(folder, "lossless_alpha.webp", [see_through], "WEBP", lossless=True)
    pillow_case(folder, "lossy_alpha.webp", [see_through], "WEBP", quality=70)
    pillow_case(folder, "animated.webp", [photo, gradient(40, 24, 4)], "WEBP", lossless=True,
                duration=100)
    odd_pngs(folder, rng)


if __name__ == "__main__":
    main()
