#!/bin/sh
# Builds each fuzz target twice with clang++ straight from the sources: OUT/<target> for
# libFuzzer and OUT/<target>_replay, a plain program that runs the files it is given.
# Usage: fuzz/build.sh [OUT]   (default: fuzz-out beside fuzz/)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-$root/fuzz-out}
mkdir -p "$out"
cxx=${CXX:-clang++}
flags="-std=c++20 -g -O1 -fno-omit-frame-pointer -I$root/src"
sources="$root/src/image/image_store.cpp $(ls "$root"/src/formats/*.cpp "$root"/src/formats/jpeg/*.cpp)"
for target in fuzz_loader fuzz_bmp_roundtrip; do
  # shellcheck disable=SC2086
  $cxx $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -o "$out/$target" "$here/$target.cpp" $sources
  # shellcheck disable=SC2086
  $cxx $flags -fsanitize=address,undefined -fno-sanitize-recover=undefined \
    -o "$out/${target}_replay" "$here/$target.cpp" "$here/replay_main.cpp" $sources
  echo "built $out/$target and $out/${target}_replay"
done
