#!/usr/bin/env bash
# Replays what the fuzz targets found worth keeping through one flavour's built files:
#   replay_corpus.sh linux|windows|<build folder> [family...]
# Each family's corpora and seeds under build/fuzz and build/fuzz-windows (left by scripts/fuzz.sh)
# and its recorded findings are called through the flavour's mex/ folder with the same checks as the
# fuzz targets; the Windows files run under wine. A build folder is taken as it is built (Linux).
# Exits non-zero if any call broke a rule.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-windows}
shift || true
targets=$root/build/fuzz/fuzz/targets.txt
[[ -f $targets ]] || { echo "no fuzz build: run scripts/fuzz.sh first" >&2; exit 2; }
if [[ -d $flavour ]]; then
  dir=$(cd "$flavour" && pwd)
else
  dir=$(bash "$root/scripts/build.sh" "$flavour")
fi

replay=("$dir/fuzz/gck_replay_calls")
as_argument() { printf '%s' "$1"; }
if [[ $flavour == windows ]]; then
  replay=(bash "$root/cmake/wine-run.sh" "$dir/wineprefix" "$dir/fuzz/gck_replay_calls.exe")
  as_argument() { printf 'Z:%s' "${1//\//\\}"; }
fi
export GCK_MEX_DIR=$dir/mex

failed=0
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
while read -r family members; do
  if [[ $# -gt 0 && " $* " != *" $family "* ]]; then continue; fi
  inputs=()
  for folder in "$root"/build/fuzz{,-windows}/{corpus,seeds}/"$family" \
    "$root/fuzz/regressions/$family"; do
    [[ -d $folder ]] && inputs+=("$(as_argument "$folder")")
  done
  [[ ${#inputs[@]} -gt 0 ]] || continue
  # shellcheck disable=SC2086
  if ! "${replay[@]}" $members -- "${inputs[@]}" 2>"$errors"; then
    cat "$errors" >&2
    # wine's server now and then drops a client ("wine client error"); the replay is deterministic,
    # so it runs once more then, and a call that breaks a rule breaks it again.
    if [[ $flavour == windows ]] && grep -q "wine client error" "$errors"; then
      echo "replaying $family again after a wine server error" >&2
      "${replay[@]}" $members -- "${inputs[@]}" || failed=1
    else
      failed=1
    fi
  else
    cat "$errors" >&2
  fi
done <"$targets"
exit $failed
