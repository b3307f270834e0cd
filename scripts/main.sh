#!/usr/bin/env bash
# The main job: builds what it needs and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
linux=$(bash "$root/scripts/build.sh" linux)
GCK_MEX_DIR="$linux/mex" "$linux/tools/projfirst_demo"
