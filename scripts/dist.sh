#!/usr/bin/env bash
# Builds the three flavours and lays the finished files out as a user takes them:
# dist/linux/*.mexa64, dist/windows/*.mexw64 and dist/octave/*.mex, each with the functions' help
# files and the bundled image pair (nnfield's help example) beside them, dist/matlab/*.m, and the
# Octave package dist/gckmatch-<version>.tar.gz.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$root/dist
rm -rf "$dist"

lay_out() {  # lay_out <flavour> <extension>
  local built
  built=$(bash "$root/scripts/build.sh" "$1")
  mkdir -p "$dist/$1"
  cp "$built"/mex/*."$2" "$built"/mex/*.m "$built"/mex/*.png "$dist/$1/"
}
lay_out linux mexa64
lay_out windows mexw64
lay_out octave mex
# The front ends; build_mex.m builds from the sources and stays with them.
mkdir -p "$dist/matlab"
find "$root/matlab" -maxdepth 1 -name '*.m' ! -name build_mex.m -exec cp {} "$dist/matlab/" \;
bash "$root/scripts/octave_package.sh" "$dist" >/dev/null
echo "$dist"
