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

# The deliverables that behave differently in the Windows build (the hash table's ring of slots,
# 32-bit hash keys, no reciprocal insertion) can be fuzzed with that behaviour on Linux, where the
# sanitizers are; their gateways are those that read kWindowsBuild.
option(GCK_WINDOWS_BEHAVIOUR "Fuzz build: the deliverables take the Windows build's behaviour" OFF)
if(GCK_WINDOWS_BEHAVIOUR)
  if(NOT GCK_FUZZ)
    message(FATAL_ERROR "GCK_WINDOWS_BEHAVIOUR is for fuzz builds; the windows flavour has it anyway")
  endif()
  add_compile_definitions(GCK_WINDOWS_BEHAVIOUR)
endif()
