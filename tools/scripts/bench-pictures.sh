#!/bin/sh
# Makes sure bench/pictures holds every benchmark photograph listed in its SHA256SUMS. Only
# the 640 x 480 ones are kept in the repository; the others are linked in from
# ../shared/bench beside the repository when that folder is there. Says what is missing
# and fails otherwise.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
pictures=$root/bench/pictures
shared=$root/../shared/bench
missing=""
for name in $(awk '{print $2}' "$pictures/SHA256SUMS"); do
  [ -e "$pictures/$name" ] && continue
  if [ -f "$shared/$name" ]; then
    ln -s "$(cd "$shared" && pwd)/$name" "$pictures/$name"
  else
    missing="$missing $name"
  fi
done
if [ -n "$missing" ]; then
  echo "bench/pictures: these photographs are missing:$missing"
  echo "  They are not kept in the repository (see bench/pictures/README.md for their sources"
  echo "  and licences). Put them in bench/pictures/, or in ../shared/bench/ beside the"
  echo "  repository, and run make bench again."
  exit 1
fi
cd "$pictures" && sha256sum --quiet -c SHA256SUMS || {
  echo "bench/pictures: a photograph differs from SHA256SUMS (see bench/pictures/README.md)"
  exit 1
}
