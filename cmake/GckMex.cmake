# gck_add_mex(<name>): builds mex/<name>.cpp into the deliverable file of the current flavour.
set(GCK_MEX_OUTPUT_DIR ${CMAKE_BINARY_DIR}/mex)

function(gck_add_mex name)
  add_library(${name} SHARED ${name}.cpp)
  target_link_libraries(${name} PRIVATE gck_bridge gck_cores)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${GCK_MEX_OUTPUT_DIR}
    RUNTIME_OUTPUT_DIRECTORY ${GCK_MEX_OUTPUT_DIR})
  if(GCK_FLAVOUR STREQUAL "linux")
    set_target_properties(${name} PROPERTIES SUFFIX ".mexa64" NO_SONAME ON)
    # mexFunction@@MEX is the only symbol we define for the host; the cores are linked in, and libmat
    # is named though nothing in it is called, as MATLAB's own extensions do.
    target_link_options(${name} PRIVATE
      -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/mex.map
      -Wl,--no-undefined)
    target_link_libraries(${name} PRIVATE mx mex -Wl,--no-as-needed mat -Wl,--as-needed)
  endif()
  set_property(GLOBAL APPEND PROPERTY GCK_DELIVERABLES ${name})
endfunction()
