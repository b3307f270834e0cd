#!/usr/bin/env bash
# Builds every flavour and runs every suite: the stand-in host tests (ctest), the same tests and the
# Windows file tables under wine, the Octave suite, the Python module's suite, and the fuzz targets,
# whose corpora are then replayed through the Windows files. Exits non-zero if anything fails.
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
  (cd "$1" && ctest --output-on-failure --no-tests=error -j "$(nproc)") | tee "$log" || status=1
  sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\2 \1/p' "$log" |
    awk '{print $1 - $2 " passed, " $2 " failed"}'
  rm -f "$log"
}

# The Python module installed into a throwaway environment of Debian's interpreter, as a user does
# it, and its pytest suite; pytest's exit 5 (no test ran) fails like any other.
run_python() {
  local venv
  venv=$(mktemp -d)
  /usr/bin/python3 -m venv --system-site-packages --without-pip "$venv"
  if (cd "$root" && "$venv/bin/python" -m pip install -q --no-build-isolation --no-deps .); then
    (cd "$root" && GCKMATCH_COMMAND="$linux/tools/gckmatch" \
      "$venv/bin/python" -m pytest -p no:cacheprovider tests/python) || status=1
  else
    echo "0 passed, 1 failed"
    status=1
  fi
  rm -rf "$venv"
}

for suite in linux windows octave python fuzz replay; do
  started=$SECONDS
  echo "== $suite suite"
  case $suite in
    linux) run_ctest "$linux" ;;
    windows) run_ctest "$windows" ;;
    python) run_python ;;
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
# wine's server outlives its last program by a few seconds and then saves the prefix: wait for it,
# so that nothing the test command started still writes into the tree once it has ended.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
WINEPREFIX="$windows/wineprefix" "$wineserver" -w 2>/dev/null || true
exit $status
