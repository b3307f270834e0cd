#!/usr/bin/env bash
# The main job: builds what it needs, lays out dist/ and runs the demo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/dist.sh" >/dev/null
linux=$(bash "$root/scripts/build.sh" linux)
GCK_MEX_DIR="$linux/mex" "$linux/tools/projfirst_demo"
