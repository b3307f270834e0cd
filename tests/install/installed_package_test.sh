#!/usr/bin/env bash
# installed_package_test.sh <build folder> <data folder> <version>: installs the build into a
# temporary prefix, builds a user's project against it with find_package (without stb: the library
# carries its own coder), and matches the bundled pair with it; the field must be the installed
# gckmatch command's, and both must tell the version.
set -euo pipefail
build=$1
data=$2
version=$3
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
# The licence comes along, named in the package and given in full.
cmp "$here/../../LICENSE" "$tmp/prefix/share/doc/gckmatch/LICENSE"
grep -q "SPDX-License-Identifier: BSD-3-Clause" "$tmp/prefix/lib/cmake/gckmatch/gckmatchConfig.cmake"
# The image coder is inside the library: a consumer is not sent looking for stb.
if grep -il stb "$tmp/prefix/lib/cmake/gckmatch/"*.cmake "$tmp/prefix/include/gckmatch/"*; then
  echo "the installed package asks its consumers for stb" >&2
  exit 1
fi
cmake -S "$here/consumer" -B "$tmp/build" -G Ninja -DCMAKE_PREFIX_PATH="$tmp/prefix" \
  -DGCKMATCH_WANTED="$version" >/dev/null
cmake --build "$tmp/build" >/dev/null

pair=("$data/motorcycle_left.png" "$data/motorcycle_right.png")
got=$("$tmp/build/consumer" "${pair[@]}")
command_line=$("$tmp/prefix/bin/gckmatch" match "${pair[@]}" --out "$tmp/out" | grep '^mean RMS')
want="$("$tmp/prefix/bin/gckmatch" --version)
$command_line"
if [[ "$got" != "$want" || "$want" != "gckmatch $version"$'\n'* ]]; then
  printf 'the consumer printed\n%s\nexpected\n%s\n' "$got" "$want" >&2
  exit 1
fi
echo "$got"
