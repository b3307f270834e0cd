#!/usr/bin/env bash
# Makes the Octave package gckmatch-<version>.tar.gz in the given folder (default dist/) and prints
# its path. Inside: DESCRIPTION, INDEX, COPYING, src/ with the sources of the eighteen functions and
# nnfield and a Makefile that builds them with mkoctfile --mex, and inst/ with annfield,
# annfield_knn, every function's help and the bundled image pair (nnfield's help example reads it).
# In Octave: pkg install gckmatch-<version>.tar.gz, then pkg load gckmatch.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/dist}
mkdir -p "$out"
out=$(cd "$out" && pwd)
version=$(sed -n 's/^project(gckmatch VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ -n $version ]] || { echo "octave_package.sh: no version in CMakeLists.txt" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
package=$stage/gckmatch
mkdir -p "$package/src" "$package/inst"
cp -r "$root"/{mex,bridge,matcher,projection,hashing,error,propagation} "$package/src/"
find "$package/src" -name CMakeLists.txt -delete
cp "$root/cmake/mex.map" "$root/packaging/octave/Makefile" "$package/src/"
cp "$root/LICENSE" "$package/COPYING"
sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$(date -u +%F)/" \
  "$root/packaging/octave/DESCRIPTION.in" > "$package/DESCRIPTION"
cp "$root"/matlab/annfield.m "$root"/matlab/annfield_knn.m "$root"/matlab/help/*.m "$package/inst/"
cp "$root"/data/motorcycle_{left,right}.png "$package/inst/"

# The functions by family, as `pkg describe` lists them.
category() {  # category <title> <help file pattern>...
  local title=$1 pattern file names=()
  shift
  for pattern; do
    for file in "$root"/matlab/help/$pattern; do names+=("$(basename "$file" .m)"); done
  done
  printf '%s\n %s\n' "$title" "${names[*]}"
}
{
  echo "gckmatch >> Dense patch matching"
  printf "Matching\n nnfield annfield annfield_knn\n"
  category "Projections" 'projfirst_*.m' 'projnext_*.m'
  category "Codes and hash tables" 'bucketmap_*.m' hash.m bucketfill.m
  category "Patch errors" 'patcherr_*.m'
  category "Propagation sweeps" 'seedspread_*.m'
} > "$package/INDEX"

tarball=$out/gckmatch-$version.tar.gz
tar -C "$stage" -czf "$tarball" gckmatch
echo "$tarball"
