#!/usr/bin/env bash
# Asserts, for every .mexa64 in the folder given, that the only symbol it defines for the dynamic
# linker is mexFunction@@MEX, that it needs libmx.so, libmex.so and libmat.so and none of ours, and
# that nnfield.mexa64 carries its C++ runtime (MATLAB loads an older one of its own).
set -u
dir=$1
failed=0
count=0
for file in "$dir"/*.mexa64; do
  [ -e "$file" ] || continue
  count=$((count + 1))
  name=$(basename "$file")
  # Defined symbols: those whose section index is not UND; the version node itself shows as ABS.
  defined=$(readelf --dyn-syms -W "$file" | awk 'NR > 3 && $7 != "UND" && $8 != "" {print $8}' |
            grep -v '^MEX$' | sort -u | tr '\n' ' ')
  if [ "$defined" != "mexFunction@@MEX " ]; then
    echo "$name defines: $defined"; failed=$((failed + 1)); continue
  fi
  needed=$(readelf -d -W "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
  if [ "$name" = nnfield.mexa64 ]; then
    case " $needed" in *" libstdc++"*|*" libgcc_s"*) echo "$name needs a C++ runtime: $needed"; failed=$((failed + 1));; esac
  fi
  for lib in libmx.so libmex.so libmat.so; do
    case " $needed" in *" $lib "*) ;; *) echo "$name does not need $lib ($needed)"; failed=$((failed + 1));; esac
  done
  for lib in $needed; do
    case "$lib" in
      # glibc's loader holds the thread-local storage of the files that start threads (nnfield).
      libmx.so|libmex.so|libmat.so|libc.so.*|libm.so.*|libstdc++.so.*|libgcc_s.so.*|ld-linux-x86-64.so.*) ;;
      *) echo "$name needs $lib"; failed=$((failed + 1));;
    esac
  done
  if ! readelf -V -W "$file" | grep -q 'Name: MEX'; then
    echo "$name has no version node MEX"; failed=$((failed + 1))
  fi
done
if [ "$count" -eq 0 ]; then echo "no .mexa64 files in $dir"; exit 1; fi
echo "$count files checked, $failed problems"
[ "$failed" -eq 0 ]
