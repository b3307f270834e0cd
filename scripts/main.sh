#!/usr/bin/env bash
# The main job: builds what it needs, lays out dist/ and matches the bundled image pair with
# gckmatch, writing the field and its pictures to out/motorcycle.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/dist.sh" >/dev/null
linux=$(bash "$root/scripts/build.sh" linux)
"$linux/tools/gckmatch" match "$root/data/motorcycle_left.png" "$root/data/motorcycle_right.png" \
  --out "$root/out/motorcycle"
