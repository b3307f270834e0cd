#!/usr/bin/env bash
# Builds every flavour and runs every suite: the stand-in host tests (ctest), the same tests and the
# Windows file tables under wine, the Octave suite, and the fuzz targets, whose corpora are then
# replayed through the Windows files. Exits non-zero if anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
started=$SECONDS
bash "$root/scripts/setup.sh"
echo "setup: $((SECONDS - started)) s"

linux=$(bash "$root/scripts/build.sh" linux)
windows=$(bash "$root/scripts/build.sh" windows)
octave=$(bash "$root/scripts/build.sh" octave)
bash "$root/scripts/dist.sh" >/dev/null

status=0
# ctest in a build folder, closed by a plain "N passed, M failed" line.
run_ctest() {
  local log
  log=$(mktemp)
  (cd "$1" && ctest --output-on-failure -j "$(nproc)") | tee "$log" || status=1
  sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\2 \1/p' "$log" |
    awk '{print $1 - $2 " passed, " $2 " failed"}'
  rm -f "$log"
}

for suite in linux windows octave fuzz replay; do
  started=$SECONDS
  echo "== $suite suite"
  case $suite in
    linux) run_ctest "$linux" ;;
    windows) run_ctest "$windows" ;;
    octave)
      octave-cli --norc --no-history --quiet --path "$root/tests/octave" \
        --eval "run_octave_tests('$octave/mex')" || status=1 ;;
    # Every deliverable fuzzed through its sanitized built file, briefly; fuzz.sh <seconds> for more.
    fuzz) bash "$root/scripts/fuzz.sh" 30 || status=1 ;;
    # What the fuzz run kept, called through the Windows files under wine, which are not fuzzed.
    replay) bash "$root/scripts/replay_corpus.sh" windows || status=1 ;;
  esac
  echo "$suite suite: $((SECONDS - started)) s"
done
exit $status
