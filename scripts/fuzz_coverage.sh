#!/usr/bin/env bash
# Which lines of the gateways, the bridge and the cores the fuzz corpora reach: fuzz_coverage.sh
# [--lines]. Builds the Linux files with gcc's --coverage in build/coverage, replays every family's
# corpora and seeds (left by scripts/fuzz.sh) and its recorded findings through them, and prints
# the share of lines run per folder (--lines: and every line never run).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
targets=$root/build/fuzz/fuzz/targets.txt
[[ -f $targets ]] || { echo "no fuzz build: run scripts/fuzz.sh first" >&2; exit 2; }
bash "$root/scripts/setup.sh"

dir=$root/build/coverage
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGCK_FLAVOUR=linux \
  -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$dir" -j "$(nproc)" --target gck_replay_calls gck_deliverables >&2
find "$dir" -name '*.gcda' -delete

bash "$root/scripts/replay_corpus.sh" "$dir" >&2
python3 "$root/scripts/line_coverage.py" "$dir" "$root" "$@"
