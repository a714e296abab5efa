#!/usr/bin/env bash
# Builds the public tiled palette quantiser from ../shared/peers/qualetize into a temporary
# folder and runs bench_multipalette against it on the shared photographs: one table of
# setting, picture, our PSNR and time, the peer's PSNR and time, measured in the same run.
#
#   bench/multipalette_peer.sh [build dir with bench_multipalette] [extra bench_multipalette options]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build-bench}
shift || true
bench=$build/bench_multipalette
peers=$(cd "$here/../../shared/peers" && pwd)

[ -x "$bench" ] || { echo "no $bench: configure with -DVELDRAN_BENCH=ON and build bench_multipalette" >&2; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$peers/qualetize/build.sh" "$out" > /dev/null
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
"$bench" --peer "$out/qualetize" "$@"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
