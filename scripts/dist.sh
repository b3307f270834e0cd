#!/usr/bin/env bash
# Builds the three flavours and lays the finished files out as a user takes them:
# dist/linux/*.mexa64, dist/windows/*.mexw64, dist/octave/*.mex and dist/matlab/*.m.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$root/dist
rm -rf "$dist"

lay_out() {  # lay_out <flavour> <extension>
  local built
  built=$(bash "$root/scripts/build.sh" "$1")
  mkdir -p "$dist/$1"
  cp "$built"/mex/*."$2" "$dist/$1/"
}
lay_out linux mexa64
lay_out windows mexw64
lay_out octave mex
if compgen -G "$root/matlab/*.m" >/dev/null; then
  mkdir -p "$dist/matlab"
  cp "$root"/matlab/*.m "$dist/matlab/"
fi
echo "$dist"
