#!/usr/bin/env bash
# Fuzzes the deliverables through their sanitized built files: fuzz.sh [seconds per target] [target...]
# Two clang builds: build/fuzz, with the Linux behaviour, and build/fuzz-windows, in which the
# families that behave differently in the Windows build (hash table slots, hash keys, reciprocal
# insertion) take that behaviour. For each target (a family, or "windows:<family>") it writes the
# seed corpus of valid calls, runs the target for the given time (every target unless some are
# named) and prints executions and coverage.
# Exits non-zero after a finding; the file that reproduces it is named, and
#   build/fuzz/fuzz/fuzz_<family> <file>        (build/fuzz-windows/... for a windows: target)
# replays it. Copy it into fuzz/regressions/<family>/ with the fix, so both test suites replay it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
bash "$root/scripts/setup.sh"

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0

# fuzz_build <folder> <target prefix> <cmake options...>: builds one fuzz build and runs its targets.
fuzz_build() {
  local dir=$1 prefix=$2
  shift 2
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGCK_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)" >&2
  local family members
  while read -r family members; do
    local target=$prefix$family
    if [[ ${#named[@]} -gt 0 && " ${named[*]} " != *" $target "* ]]; then continue; fi
    local seeds=$dir/seeds/$family corpus=$dir/corpus/$family findings=$dir/findings/$family
    rm -rf "$seeds"
    mkdir -p "$seeds" "$corpus" "$findings"
    # shellcheck disable=SC2086
    "$dir/fuzz/gck_write_seeds" "$seeds" $members
    local inputs=("$corpus" "$seeds")
    [[ -d $root/fuzz/regressions/$family ]] && inputs+=("$root/fuzz/regressions/$family")
    local log=$dir/findings/$family.log
    # A call of the capped sizes takes well under a second; 25 s is a hang even on a loaded machine.
    local status=0
    "$dir/fuzz/fuzz_$family" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -malloc_limit_mb=512 -max_len=16384 -seed=1 -print_final_stats=1 \
      -dict="$root/fuzz/boundary.dict" -artifact_prefix="$findings/" "${inputs[@]}" >"$log" 2>&1 ||
      status=$?
    local runs coverage size
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
    size=$(find "$corpus" -type f | wc -l)
    printf 'fuzz %-20s %4ss  %10s runs  %s  corpus %s\n' "$target" "$seconds" "${runs:-?}" \
      "${coverage:-cov: ?}" "$size"
    if [[ $status -ne 0 ]]; then
      failed=1
      echo "fuzz $target: FINDING (exit $status), log $log" >&2
      grep -E 'ERROR|SUMMARY|runtime error|: a rejected call|Test unit written' "$log" | head -20 >&2 || true
    fi
  done <"$dir/fuzz/targets.txt"
}

named=("$@")
linux_wanted=$((${#named[@]} == 0)) windows_wanted=$((${#named[@]} == 0))
for target in "${named[@]}"; do
  if [[ $target == windows:* ]]; then windows_wanted=1; else linux_wanted=1; fi
done
[[ $linux_wanted -eq 1 ]] && fuzz_build "$root/build/fuzz" ""
[[ $windows_wanted -eq 1 ]] && fuzz_build "$root/build/fuzz-windows" "windows:" -DGCK_WINDOWS_BEHAVIOUR=ON
exit $failed
