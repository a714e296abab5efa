#!/bin/sh
# Runs clang-tidy (checks in .clang-tidy, every finding an error) over the tracked sources of
# src/ and tools/, JOBS files at a time, with BUILD's compile_commands.json. Prints only the
# findings, not clang's count of the warnings it filtered out of the system headers.
# Usage: tools/scripts/tidy.sh [BUILD] [JOBS]   (default: build, 2)
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build}
jobs=${2:-2}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy: no $build/compile_commands.json; configure $build with cmake first" >&2
  exit 1
fi
export build
# shellcheck disable=SC2016
git ls-files 'src/*.cpp' 'tools/*.cpp' | xargs -P "$jobs" -n 1 sh -c '
  out=$(nice clang-tidy --quiet --use-color=false -p "$build" "$1" 2>&1) && status=0 || status=$?
  printf "%s\n" "$out" | grep -v -e "^[0-9]* warnings\{0,1\} generated\.$" -e "^$" || true
  exit "$status"' sh && echo "tidy: no findings"
