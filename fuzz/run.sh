#!/bin/sh
# Runs one fuzz target for a number of seconds on its seed corpus and regression inputs;
# new inputs go to fuzz-out/corpus-<target>, crashes to fuzz-out/crashes-<target> (FUZZ_OUT
# names another folder than fuzz-out).
# Usage: fuzz/run.sh TARGET SECONDS
#        fuzz/run.sh --list      (names the targets, one a line)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
if [ "${1:-}" = "--list" ]; then
  echo fuzz_loader
  echo fuzz_bmp_roundtrip
  echo fuzz_settings
  echo fuzz_number_entry
  echo fuzz_prompt
  echo fuzz_app
  exit 0
fi
target=${1:?usage: fuzz/run.sh TARGET SECONDS}
seconds=${2:?usage: fuzz/run.sh TARGET SECONDS}
out=${FUZZ_OUT:-$root/fuzz-out}
[ -x "$out/$target" ] || "$here/build.sh" "$out"
mkdir -p "$out/corpus-$target" "$out/crashes-$target"
# The whole program runs a script of up to 300 steps per input: it needs longer per input,
# and gets long scripts from the start (what it does after many steps is the point).
timeout=1
max_len=65536
len_control=100
case $target in
  fuzz_app) timeout=20 max_len=2048 len_control=0 ;;
  fuzz_number_entry) max_len=256 ;;
  fuzz_prompt) max_len=8192 ;;
esac
exec "$out/$target" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 \
  -max_len="$max_len" -len_control="$len_control" -print_final_stats=1 \
  -artifact_prefix="$out/crashes-$target/" "$out/corpus-$target" "$here/corpus/$target" "$here/regressions/$target"
