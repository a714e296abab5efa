#!/usr/bin/python3
"""The PNG side of bench_png, which runs it.

    bench/png_peer.py make FOLDER   writes the PNG files bench_png loads, made by Pillow at
                                    its default settings from the benchmark photographs
    bench/png_peer.py save FOLDER   saves each photo_*.png's picture again into FOLDER with
                                    Pillow's save(..., optimize=False) and prints one line per
                                    picture: NAME median-CPU-milliseconds bytes
"""
import statistics
import sys
import time
from pathlib import Path

from PIL import Image

SHARED = Path(__file__).resolve().parent.parent.parent / "shared" / "bench"

# name -> (photograph, how the picture is made from it)
PICTURES = {
    "photo_1152x864": ("p1_1152x864_444.jpg", "RGB"),
    "photo_2000x1500": ("p3_2000x1500_444.jpg", "RGB"),
    "photo_4000x3000": ("p12_4000x3000_444.jpg", "RGB"),
    "alpha_1152x864": ("p1_1152x864_444.jpg", "RGBA"),
    "palette_1152x864": ("p1_1152x864_444.jpg", "P"),
}


def picture(photo, mode):
    img = Image.open(SHARED / photo).convert("RGB")
    if mode == "RGBA":
        alpha = Image.linear_gradient("L").resize(img.size)
        img = img.convert("RGBA")
        img.putalpha(alpha)
    elif mode == "P":
        img = img.quantize(256)
    return img


def make(folder):
    for name, (photo, mode) in PICTURES.items():
        picture(photo, mode).save(folder / (name + ".png"))


def save(folder, rounds=5):
    out = folder / "pillow_out.png"
    for name in PICTURES:
        if not name.startswith("photo"):
            continue
        img = Image.open(folder / (name + ".png"))
        img.load()
        times = []
        for _ in range(rounds):
            start = time.process_time()
            img.save(out, "PNG", optimize=False)
            times.append((time.process_time() - start) * 1000)
        print(name, "%.2f" % statistics.median(times), out.stat().st_size)


def main():
    what, folder = sys.argv[1], Path(sys.argv[2])
    if what == "make":
        make(folder)
    else:
        save(folder)


if __name__ == "__main__":
    main()
