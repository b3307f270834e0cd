#!/usr/bin/env bash
# Asserts, for every .mexw64 in the folder given, that its export table holds mexFunction alone, that
# it imports from libmx.dll and libmex.dll only the host calls the gateways make, and that every other
# DLL it imports is a Windows system DLL (the C and C++ runtimes are linked in).
set -u
dir=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
failed=0
count=0
problem() { echo "$1"; failed=$((failed + 1)); }

# "<dll> <function>" per imported function, from objdump's import table dump.
imports_of() {
  "$objdump" -p "$1" | awk '
    /^\tDLL Name: / { dll = $3; next }
    /^\t[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ && dll != "" { print dll, $NF; next }
    /^$/ { dll = "" }'
}

for file in "$dir"/*.mexw64; do
  [ -e "$file" ] || continue
  count=$((count + 1))
  name=$(basename "$file")
  exports=$("$objdump" -p "$file" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
            awk '/^\t\[/ {print $NF}' | tr '\n' ' ')
  [ "$exports" = "mexFunction " ] || problem "$name exports: $exports"

  imports=$(imports_of "$file")
  dlls=$(echo "$imports" | awk '{print $1}' | sort -u | tr '\n' ' ')
  for lib in libmx.dll libmex.dll; do
    case " $dlls" in *" $lib "*) ;; *) problem "$name does not import from $lib ($dlls)";; esac
  done
  while read -r dll function; do
    [ -n "$dll" ] || continue
    case "$(echo "$dll" | tr 'A-Z' 'a-z') $function" in
      "libmx.dll mxGetClassID"|"libmx.dll mxGetM"|"libmx.dll mxGetN"|"libmx.dll mxGetPr"|\
      "libmx.dll mxGetData"|"libmx.dll mxGetScalar"|"libmx.dll mxCreateNumericMatrix_700"|\
      "libmex.dll mexErrMsgTxt") ;;
      libmx.dll\ *|libmex.dll\ *) problem "$name imports $function from $dll";;
      "kernel32.dll "*|"msvcrt.dll "*|"ucrtbase.dll "*|api-ms-win-crt-*) ;;
      *) problem "$name imports $function from $dll";;
    esac
  done <<< "$imports"
done
if [ "$count" -eq 0 ]; then echo "no .mexw64 files in $dir"; exit 1; fi
echo "$count files checked, $failed problems"
[ "$failed" -eq 0 ]
