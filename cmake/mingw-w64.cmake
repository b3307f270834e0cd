# Cross-builds the Windows flavour (.mexw64 and the tests that load them) with Debian's mingw-w64.
# The posix-threads variant: its libstdc++ has std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GCK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${GCK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GCK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${GCK_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${GCK_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${GCK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# mingw's own C99 printf family, so that messages format alike in both builds.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")

# MATLAB ships no libstdc++, libgcc or winpthread DLLs: every file carries its own runtime and
# imports from Windows system DLLs (and the host's) only.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Built executables run under wine, each test in the build folder's own throwaway prefix.
find_program(GCK_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
