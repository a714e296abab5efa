#!/usr/bin/python3
"""Rotation against ImageMagick's convert, as whole commands on the shared photographs.

Speed: `veldran-convert IN.bmp OUT.bmp --rotate 30` against `convert IN.bmp -rotate 30 OUT.bmp`
(ImageMagick with its default threads), run alternately so that both see the same load; the
median wall time of each and the ratio. Quality: each program turns the picture by +30 and the
result back by -30 (two commands, through BMP files); the PSNR of the middle half of the
picture in each direction against the original.

    bench/rotate_peer.py [build dir with veldran-convert] [--runs N]
"""
import argparse
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageChops

HERE = os.path.dirname(os.path.abspath(__file__))
PICTURES = os.path.join(HERE, "pictures")
MAX = "--max=8192,8192"  # the store must hold the turned 12-megapixel picture


def pictures(build):
    """The 1 MP BMP of bench/pictures and the 12 MP BMP the benchmark build makes (made here
    with djpeg when the build has not)."""
    p12 = os.path.join(build, "p12_4000x3000.bmp")
    if not os.path.exists(p12) or os.path.getsize(p12) == 0:
        subprocess.run(["djpeg", "-dct", "int", "-bmp", "-outfile", p12,
                        os.path.join(PICTURES, "p12_4000x3000_444.jpg")], check=True)
    return [("p1_1152x864", os.path.join(PICTURES, "p1_1152x864.bmp")), ("p12_4000x3000", p12)]


def ours(convert, src, dst, degrees):
    return [convert, src, dst, "--rotate=%g" % degrees, MAX]


def peer(src, dst, degrees):
    return ["convert", src, "-rotate", "%g" % degrees, dst]


def wall_ms(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - start) * 1000


def psnr_middle_half(original, turned_back):
    """PSNR of the middle half of `original` against the same pixels of the centred
    `turned_back`. When the sizes differ by an odd number, the better of the two nearest
    alignments counts (in the peer's favour: ours never needs it)."""
    a = Image.open(original).convert("RGB")
    b = Image.open(turned_back).convert("RGB")
    w, h = a.size
    box = (w // 4, h // 4, w // 4 + w // 2, h // 4 + h // 2)
    ref = a.crop(box)
    best = 0.0
    for dx in {(b.width - w) // 2, (b.width - w + 1) // 2}:
        for dy in {(b.height - h) // 2, (b.height - h + 1) // 2}:
            got = b.crop((box[0] + dx, box[1] + dy, box[2] + dx, box[3] + dy))
            hist = ImageChops.difference(ref, got).histogram()
            sse = sum(n * (i % 256) ** 2 for i, n in enumerate(hist))
            mse = sse / (ref.width * ref.height * 3)
            best = max(best, math.inf if mse == 0 else 10 * math.log10(255 ** 2 / mse))
    return best


def main():
    parser = argparse.ArgumentParser(description="Rotation against ImageMagick's convert.")
    parser.add_argument("build", nargs="?", default=os.path.join(HERE, "..", "build-bench"),
                        help="build folder holding veldran-convert")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of each command")
    args = parser.parse_args()
    runs = args.runs
    convert = os.path.join(args.build, "veldran-convert")
    if not os.access(convert, os.X_OK):
        sys.exit("no %s: build the veldran-convert target" % convert)
    if shutil.which("convert") is None:
        sys.exit("ImageMagick's convert is not installed")
    print("load average at start: %.2f %.2f %.2f" % os.getloadavg())
    work = tempfile.mkdtemp()
    try:
        rows = []
        for name, src in pictures(args.build):
            out = os.path.join(work, "out.bmp")
            times = {"ours": [], "peer": []}
            wall_ms(ours(convert, src, out, 30))  # warm the file cache for both
            wall_ms(peer(src, out, 30))
            for _ in range(runs):
                times["ours"].append(wall_ms(ours(convert, src, out, 30)))
                times["peer"].append(wall_ms(peer(src, out, 30)))
            quality = {}
            for who, make in (("ours", lambda s, d, deg: ours(convert, s, d, deg)), ("peer", peer)):
                there, back = os.path.join(work, who + "30.bmp"), os.path.join(work, who + "0.bmp")
                subprocess.run(make(src, there, 30), check=True, stderr=subprocess.DEVNULL)
                subprocess.run(make(there, back, -30), check=True, stderr=subprocess.DEVNULL)
                size = Image.open(there).size
                quality[who] = (psnr_middle_half(src, back), size)
            rows.append((name, statistics.median(times["ours"]), statistics.median(times["peer"]),
                         quality))
        print("load average at end:   %.2f %.2f %.2f" % os.getloadavg())
        print()
        print("Rotate by 30 degrees, whole commands (median wall ms of %d runs each)" % runs)
        print("%-15s %10s %10s %7s %11s %11s %11s %11s" % (
            "picture", "ours-ms", "convert-ms", "ratio", "ours-size", "conv-size",
            "ours-PSNR", "conv-PSNR"))
        for name, t_ours, t_peer, q in rows:
            print("%-15s %10.0f %10.0f %7.3f %11s %11s %11.2f %11.2f" % (
                name, t_ours, t_peer, t_ours / t_peer, "%dx%d" % q["ours"][1],
                "%dx%d" % q["peer"][1], q["ours"][0], q["peer"][0]))
        print("PSNR in dB: +30 then -30, middle half of the picture in each direction")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
