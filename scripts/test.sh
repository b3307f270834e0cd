#!/usr/bin/env bash
# Builds every flavour and runs every suite. Exits non-zero if anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"

linux=$(bash "$root/scripts/build.sh" linux)
(cd "$linux" && ctest --output-on-failure -j "$(nproc)")
