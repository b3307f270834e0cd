#!/usr/bin/env bash
# The matcher's benchmarks on the development set: error and time against the exact search and the
# randomized baseline (the held-out pairs), the k-nearest lists against the exact ones, time and
# memory against size (one photograph's pair at 0.1 to 12 MP), thread scaling on the 4 MP pair,
# sequence mode on the clips, the memory estimate against measured peaks, how soon a cancel or a
# signal stops a 12 MP match, and in Octave nnfield and both annfield routes against the command
# line (every pair).
# Extracts the set from Debian packages into build/devset first, when it is not there yet.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" bench
linux=$(bash "$root/scripts/build.sh" linux)
octave=$(bash "$root/scripts/build.sh" octave)
devset=$root/build/devset
if [[ ! -f $devset/pairs.txt || ! -d $devset/clip-cut || ! -f $devset/scale/pairs.txt ]]; then
  /usr/bin/python3 "$root/bench/devset/make_devset.py" "$devset" --scale
fi
cd "$root"
"$linux/bench/matcher_quality" "$devset" --part held
"$linux/bench/knn_quality" "$devset" --part held
GCK_SELF=1 "$linux/bench/knn_quality" "$devset" --part held
for size in 0.1 0.4 1 4 12; do  # a fresh process each: the peak memory is the size's own
  "$linux/bench/matcher_scale" "$devset/scale/boats-${size}mp_a.png" "$devset/scale/boats-${size}mp_b.png"
done
"$linux/bench/thread_scaling" "$devset/adwaita-4mp_a.png" "$devset/adwaita-4mp_b.png"
"$linux/bench/sequence_rate" "$devset/clip"
"$linux/bench/memory_estimate"
"$linux/bench/cancel_latency" "$devset/adwaita-4mp_a.png" "$devset/adwaita-4mp_b.png"
"$linux/bench/command_interrupt" "$devset/adwaita-4mp_a.png" "$devset/adwaita-4mp_b.png"
octave-cli --norc --no-history --quiet --path "$root/bench" \
  --eval "annfield_routes('$devset', '$linux/tools/gckmatch', '$octave/mex')"
