# One line registers a test.
#   gck_add_core_test(<name> <sources>...)  a GoogleTest binary on the cores and the slow references.
#   gck_add_mex_test(<name> <sources>...)   a GoogleTest binary that loads built deliverable files
#                                           through the stand-in host; in the Windows flavour it is
#                                           cross-built too and runs under wine.
function(gck_add_core_test name)
  if(NOT GCK_FLAVOUR STREQUAL "linux")
    return()
  endif()
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE gck_cores gck_test_reference GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

function(gck_add_mex_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE gck_cores gck_test_reference gck_host_loader GTest::gtest_main)
  add_dependencies(${name} gck_deliverables)
  # The Windows flavour's programs run under wine (the toolchain's emulator), which finds the host
  # DLLs and deliverables through GCK_MEX_DIR.
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "GCK_MEX_DIR=${GCK_MEX_OUTPUT_DIR}")
endfunction()
