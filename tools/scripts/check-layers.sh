#!/bin/sh
# Fails when a source file in src/ includes a header from a layer above its own. The layers,
# lowest first, are the libraries' link order: platform, image, formats, core, menu, app
# (src/main.cpp, the program's entry, may include anything). Includes that climb out with
# ".." are refused too, so that every include names its layer.
# Usage: tools/scripts/check-layers.sh [SRC]   (default: src/ beside tools/)
set -eu
src=${1:-$(cd "$(dirname "$0")/../.." && pwd)/src}
layers="platform image formats core menu app"

# The position of a layer in $layers, -1 for a folder that is not one.
rank() {
  n=0
  for l in $layers; do
    [ "$l" = "$1" ] && { echo "$n"; return; }
    n=$((n + 1))
  done
  echo -1
}

status=0
for layer in $layers; do
  [ -d "$src/$layer" ] || continue
  own=$(rank "$layer")
  # "file:line header" for every quoted include in the layer's folder.
  hits=$(grep -rnE --include='*.cpp' --include='*.h' --include='*.inc' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$src/$layer" |
    sed -E 's/^([^:]+:[0-9]+):[^"]*"([^"]*)".*/\1 \2/' || true)
  [ -n "$hits" ] || continue
  while read -r where target; do
    where=${where#"$src"/}
    case $target in
      ../* | */../*)
        echo "$where: includes \"$target\"; name the header from src/ instead"
        status=1
        continue
        ;;
    esac
    if [ "$(rank "${target%%/*}")" -gt "$own" ]; then
      echo "$where: $layer includes \"$target\", from a layer above it"
      status=1
    fi
  done <<HITS
$hits
HITS
done
[ "$status" -eq 0 ] && echo "layers: every include points down"
exit "$status"
