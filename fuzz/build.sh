#!/bin/sh
# Builds each fuzz target twice with clang++ straight from the sources: OUT/<target> for
# libFuzzer and OUT/<target>_replay, a plain program that runs the files it is given. The
# program's sources and the targets' entries (fuzz/fuzz_*.cpp) are compiled once (with
# coverage, AddressSanitizer and UndefinedBehaviorSanitizer) into OUT/obj and shared by every
# target; engine_entry.cpp hands the engine's input to the target's entry.
# Usage: fuzz/build.sh [OUT]   (default: $FUZZ_OUT, else fuzz-out beside fuzz/; JOBS=n
#                              compiles n at a time)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-${FUZZ_OUT:-$root/fuzz-out}}
mkdir -p "$out/obj"
out=$(cd "$out" && pwd)
cxx=${CXX:-clang++}
jobs=${JOBS:-2}
# The main build's warnings, as errors.
flags="-std=c++20 -g -O1 -fno-omit-frame-pointer -Wall -Wextra -Wshadow -Werror -I$root/src"
sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
define="-DVELDRAN_SOURCE_DIR=\"$root\""

# Every source of the program but the window backend and the window program's main, and
# every target's entry.
{
  find "$root/src" -name '*.cpp' ! -name 'sdl_*.cpp' ! -name main.cpp
  find "$here" -name 'fuzz_*.cpp'
} | sort >"$out/sources"
rm -f "$out"/obj/*.o "$out/libveldran.a"
export cxx flags sanitize define root out
# shellcheck disable=SC2016
xargs -P "$jobs" -n 1 sh -c '
  object=$out/obj/$(echo "${1#$root/}" | tr / _ | sed "s/\.cpp$/.o/")
  # shellcheck disable=SC2086
  $cxx $flags $sanitize "$define" -fsanitize=fuzzer-no-link \
    -fsanitize-coverage-ignorelist="$root/fuzz/coverage_ignore.txt" -c "$1" -o "$object"' sh <"$out/sources"
ar rcs "$out/libveldran.a" "$out"/obj/*.o

# The libraries the PNG, GIF and WebP readers use.
libs=$(pkg-config --libs spng libgif libwebp libwebpdemux)

for target in $("$here/run.sh" --list); do
  entry="-DVELDRAN_FUZZ_ENTRY=fuzz::${target#fuzz_}_input"
  # shellcheck disable=SC2086
  $cxx $flags $sanitize "$entry" -fsanitize=fuzzer -o "$out/$target" "$here/engine_entry.cpp" \
    "$out/libveldran.a" $libs
  # shellcheck disable=SC2086
  $cxx $flags $sanitize "$entry" -o "$out/${target}_replay" "$here/engine_entry.cpp" \
    "$here/replay_main.cpp" "$out/libveldran.a" $libs
  echo "built $out/$target and $out/${target}_replay"
done
