#!/usr/bin/env bash
# Configures and builds one flavour: build.sh linux|windows|octave. Prints the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-linux}
dir=$root/build/$flavour
args=(-S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGCK_FLAVOUR="$flavour")
if [[ $flavour == windows ]]; then
  args+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake")
fi
cmake "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" >&2
echo "$dir"
