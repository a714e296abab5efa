#!/bin/sh
# Runs one fuzz target for a number of seconds on its seed corpus; new inputs go to
# fuzz-out/corpus-<target>, crashes to fuzz-out/crashes-<target>.
# Usage: fuzz/run.sh TARGET SECONDS
#        fuzz/run.sh --list      (names the targets, one a line)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
if [ "${1:-}" = "--list" ]; then
  echo fuzz_loader
  echo fuzz_bmp_roundtrip
  exit 0
fi
target=${1:?usage: fuzz/run.sh TARGET SECONDS}
seconds=${2:?usage: fuzz/run.sh TARGET SECONDS}
out=$root/fuzz-out
[ -x "$out/$target" ] || "$here/build.sh" "$out"
mkdir -p "$out/corpus-$target" "$out/crashes-$target"
exec "$out/$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$out/crashes-$target/" \
  "$out/corpus-$target" "$here/corpus/$target" "$here/regressions/$target"
