#!/usr/bin/env bash
# Asserts, for every .mexw64 in the folder given, that its export table holds mexFunction alone, that
# it imports from libmx.dll and libmex.dll only the host calls the gateways make, among them the
# sparse and complex tests, and that every other DLL it imports is a Windows system DLL (the C and
# C++ runtimes and the thread library are linked in). nnfield alone also reads dimensions, structs
# and text, creates an array of more dimensions and fails with an identifier.
set -u
dir=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
failed=0
count=0
for file in "$dir"/*.mexw64; do
  [ -e "$file" ] || continue
  count=$((count + 1))
  problems=$("$objdump" -p "$file" | awk -v name="$(basename "$file")" '
    BEGIN {
      split("mxGetClassID mxGetM mxGetN mxGetPr mxGetData mxGetScalar mxIsSparse mxIsComplex " \
            "mxCreateNumericMatrix_700", mx)
      for (i in mx) host["libmx.dll " mx[i]] = 1
      host["libmex.dll mexErrMsgTxt"] = 1
      # Every gateway asks the host whether an input is sparse or complex before reading it.
      split("mxIsSparse mxIsComplex", required)
      if (name == "nnfield.mexw64") {
        split("mxGetNumberOfDimensions_700 mxGetDimensions_700 mxCreateNumericArray_700 " \
              "mxGetNumberOfFields mxGetFieldNameByNumber mxGetFieldByNumber_700 mxGetString_700", more)
        for (i in more) host["libmx.dll " more[i]] = 1
        host["libmex.dll mexErrMsgIdAndTxt"] = 1
        split("mxIsSparse mxIsComplex mxCreateNumericArray_700 mexErrMsgIdAndTxt", required)
      }
    }
    /^\tDLL Name: / { dll = tolower($3); seen[dll] = 1; next }
    /^\t[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ && dll != "" {
      function_name = $NF
      if (dll == "libmx.dll" || dll == "libmex.dll") {
        if (!((dll " " function_name) in host)) print name " imports " function_name " from " dll
        imported[function_name] = 1
      } else if (dll != "kernel32.dll" && dll != "msvcrt.dll" && dll != "ucrtbase.dll" &&
                 dll !~ /^api-ms-win-crt-/) {
        print name " imports " function_name " from " dll
      }
      next
    }
    /^$/ { dll = "" }
    /^\[Ordinal\/Name Pointer\] Table/ { in_exports = 1; next }
    in_exports && /^\t\[/ { exports = exports " " $NF; next }
    in_exports { in_exports = 0 }
    END {
      if (exports != " mexFunction") print name " exports:" exports
      if (!("libmx.dll" in seen)) print name " does not import from libmx.dll"
      if (!("libmex.dll" in seen)) print name " does not import from libmex.dll"
      for (i in required) if (!(required[i] in imported)) print name " does not import " required[i]
    }')
  if [ -n "$problems" ]; then
    echo "$problems"
    failed=$((failed + $(echo "$problems" | wc -l)))
  fi
done
if [ "$count" -eq 0 ]; then echo "no .mexw64 files in $dir"; exit 1; fi
echo "$count files checked, $failed problems"
[ "$failed" -eq 0 ]
