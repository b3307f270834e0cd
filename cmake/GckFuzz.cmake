# GCK_FUZZ: a build with clang in which the deliverables, the bridge, the cores and the stand-in host
# carry AddressSanitizer, UndefinedBehaviorSanitizer (every report fatal) and libFuzzer's coverage,
# for the fuzz targets in fuzz/. Nothing else is built. scripts/fuzz.sh configures it.
option(GCK_FUZZ "Sanitized deliverables and the fuzz targets only (clang)" OFF)

if(GCK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "GCK_FUZZ needs clang (libFuzzer)")
  endif()
  # Warnings are shown but do not stop the fuzzing of code that gcc, the compiler of record, accepts.
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g -Wno-error)
  add_link_options(-fsanitize=address,undefined)
endif()
