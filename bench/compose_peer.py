#!/usr/bin/python3
"""Times a box-filter resize of another library (Pillow's BOX) on the sizes bench_compose
measures and, given the path of bench_compose, runs it in the same run and prints the ratios.

    bench/compose_peer.py [build/bench_compose] [--rounds N]
"""
import json
import subprocess
import sys
import time

from PIL import Image

# bench_compose case -> (source size, result size) of the same resampling.
CASES = {
    "BM_Fit4096x4096Into800x600": ((4096, 4096), (600, 600)),
    "BM_Fit4000x3000Into640x480": ((4000, 3000), (640, 480)),
    "BM_Resize640x480To1600x1200": ((640, 480), (1600, 1200)),
}


def source(size):
    # Smooth colours with noise, as the C++ benchmark uses; the speed does not depend on them.
    w, h = size
    noise = Image.effect_noise((w, h), 64).convert("L")
    red = Image.linear_gradient("L").rotate(90).resize((w, h))
    green = Image.linear_gradient("L").resize((w, h))
    return Image.merge("RGB", (red, green, noise))


def time_peer(rounds):
    """Best time in ms of each case over `rounds` rounds of repeated resizes."""
    best = {}
    for name, (size, result) in CASES.items():
        img = source(size)
        img.resize(result, Image.Resampling.BOX)  # warm up
        times = []
        for _ in range(rounds):
            n = 0
            start = time.perf_counter()
            while True:
                img.resize(result, Image.Resampling.BOX)
                n += 1
                elapsed = time.perf_counter() - start
                if elapsed > 0.25:
                    break
            times.append(elapsed / n * 1000)
        best[name] = min(times)
    return best


def time_ours(binary):
    out = subprocess.run(
        [binary, "--benchmark_format=json", "--benchmark_repetitions=5",
         "--benchmark_report_aggregates_only=false"],
        check=True, capture_output=True, text=True).stdout
    best = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name = b["run_name"]
        ms = b["real_time"] * {"ms": 1, "us": 1e-3, "ns": 1e-6}[b["time_unit"]]
        best[name] = min(best.get(name, ms), ms)
    return best


def main():
    args = sys.argv[1:]
    rounds = 5
    if "--rounds" in args:
        i = args.index("--rounds")
        rounds = int(args[i + 1])
        del args[i:i + 2]
    peer = time_peer(rounds)
    if not args:
        for name, ms in peer.items():
            print(f"{name:32s} peer {ms:8.2f} ms")
        return
    ours = time_ours(args[0])
    peer_again = time_peer(rounds)  # the peer before and after, against drifting load
    print(f"{'case':32s} {'ours ms':>9s} {'peer ms':>9s} {'ratio':>7s}")
    for name in CASES:
        p = min(peer[name], peer_again[name])
        print(f"{name:32s} {ours[name]:9.2f} {p:9.2f} {ours[name] / p:7.2f}")
    read = ours.get("BM_ReadPlane64MiB")
    if read:
        shrink = ours["BM_Fit4096x4096Into800x600"]
        print(f"{'BM_ReadPlane64MiB':32s} {read:9.2f}")
        print(f"4096 x 4096 shrink / one read of the plane: {shrink / read:.2f}")


if __name__ == "__main__":
    main()
