# GoogleTest for the cross-built tests, compiled from Debian's source package (libgtest-dev ships it
# in /usr/src/googletest) with the same toolchain as the tests.
set(GCK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source folder")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${GCK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Its sources are not held to this project's warning flags.
target_compile_options(gtest PRIVATE -w -Wno-error)
target_compile_options(gtest_main PRIVATE -w -Wno-error)
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
