#!/usr/bin/env bash
# wine-run.sh <prefix> <program.exe> [args...]: runs a Windows program headless under wine in the
# given throwaway prefix. $GCK_MEX_DIR (a Linux path) is handed on as a Windows path, and the host
# DLLs beside the deliverables are found through it.
set -euo pipefail
prefix=$1
shift
wine=$(command -v wine64 || true)
[[ -n $wine ]] || wine=/usr/lib/wine/wine64
[[ -x $wine ]] || wine=$(command -v wine)

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
# Several tests may start at once; only one of them makes the prefix.
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  [[ -f $prefix/system.reg ]] || "$wine" wineboot --init >/dev/null 2>&1 || true
) 9>"$prefix.lock"

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
if [[ -n ${GCK_MEX_DIR:-} ]]; then
  export WINEPATH
  WINEPATH=$(windows_path "$GCK_MEX_DIR")
  GCK_MEX_DIR=$(windows_path "$GCK_MEX_DIR")
fi
exec "$wine" "$@"
