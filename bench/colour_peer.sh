#!/usr/bin/env bash
# Times ImageMagick's palette reduction (convert -dither None -colors 256, and with
# -dither FloydSteinberg) on the photographs in bench/pictures, runs bench_colour in the same
# run and prints the ratios: our palette stage against convert, and each reduction method
# against a plain lookup-table pass over the same pixels.
#
#   bench/colour_peer.sh [build dir with bench_colour] [runs per convert timing]
#
# convert's time includes reading and writing the BMP; its plain read+write is shown too.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
runs=${2:-3}
bench=$build/bench_colour
pictures=$here/pictures
p1=$pictures/p1_1152x864.bmp
p12=$build/p12_4000x3000.bmp
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

[ -x "$bench" ] || { echo "no $bench: configure with -DVELDRAN_BENCH=ON and build bench_colour" >&2; exit 1; }
command -v convert >/dev/null || { echo "ImageMagick's convert is not installed" >&2; exit 1; }
if [ ! -s "$p12" ]; then
  djpeg -dct int -bmp -outfile "$p12" "$pictures/p12_4000x3000_444.jpg"
fi

# Median wall time in milliseconds of `runs` runs of a command.
median_ms() {
  local times=() start end
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s%N)
    times+=($(((end - start) / 1000000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{t[NR] = $1} END {print t[int((NR + 1) / 2)]}'
}

declare -A peer
for pic in p1_1152x864 p12_4000x3000; do
  file=$p1
  [ "$pic" = p12_4000x3000 ] && file=$p12
  peer[$pic,io]=$(median_ms convert "$file" "$out/io.bmp")
  peer[$pic,none]=$(median_ms convert "$file" -dither None -colors 256 "$out/none.bmp")
  peer[$pic,fs]=$(median_ms convert "$file" -dither FloydSteinberg -colors 256 "$out/fs.bmp")
done

"$bench" --benchmark_min_time=0.5 --benchmark_out="$out/ours.json" --benchmark_out_format=json \
  > /dev/null 2> "$out/bench.err" || { cat "$out/bench.err" >&2; exit 1; }
# Our wall time in milliseconds for one case.
ours() {
  jq -r --arg n "$1" '.benchmarks[] | select(.name == $n) |
    .real_time * ({"ns": 1e-6, "us": 1e-3, "ms": 1, "s": 1000}[.time_unit])' "$out/ours.json"
}

echo "Palette stage against convert (wall time, ms; ratio = ours / convert -colors 256)"
printf '%-15s %9s %9s %9s %11s %11s %8s %8s\n' picture conv-io conv-none conv-fs \
  ours-pal256 ours-pal16 r256 r16
for pic in p1_1152x864 p12_4000x3000; do
  p256=$(ours "Palette256/$pic")
  p16=$(ours "Palette16/$pic")
  awk -v pic="$pic" -v io="${peer[$pic,io]}" -v none="${peer[$pic,none]}" \
    -v fs="${peer[$pic,fs]}" -v a="$p256" -v b="$p16" 'BEGIN {
      printf "%-15s %9d %9d %9d %11.1f %11.1f %8.3f %8.3f\n", pic, io, none, fs, a, b,
        a / none, b / none }'
done

echo
echo "Reduction stage against a lookup-table pass over the same pixels (ratio of wall times)"
printf '%-15s %10s %8s %8s %8s %10s %10s\n' picture lookup-ms plain ordered fs \
  plain+int grey-fs
for pic in p1_1152x864 p12_4000x3000; do
  awk -v pic="$pic" -v l="$(ours "LookupPass/$pic")" -v p="$(ours "ReducePlain/$pic")" \
    -v o="$(ours "ReduceOrdered/$pic")" -v f="$(ours "ReduceFloydSteinberg/$pic")" \
    -v i="$(ours "ReducePlainIntensity/$pic")" -v g="$(ours "ReduceGreyFloydSteinberg/$pic")" \
    'BEGIN { printf "%-15s %10.2f %8.2f %8.2f %8.2f %10.2f %10.2f\n", pic, l, p / l, o / l,
      f / l, i / l, g / l }'
done
