# gck_add_mex(<name>): builds mex/<name>.cpp, one of the eighteen kernel deliverables, into the
# file of the current flavour, with its help file matlab/help/<name>.m beside it.
# gck_add_matcher_mex(<name>): the same for a function over the whole matcher (nnfield), which the
# kernel deliverables' fuzz targets and call tables leave out.
set(GCK_MEX_OUTPUT_DIR ${CMAKE_BINARY_DIR}/mex)

function(gck_add_mex name)
  gck_build_mex(${name})
  set_property(GLOBAL APPEND PROPERTY GCK_DELIVERABLES ${name})
endfunction()

function(gck_add_matcher_mex name)
  gck_build_mex(${name})
  target_link_libraries(${name} PRIVATE gck_matcher)
  if(GCK_FLAVOUR STREQUAL "linux")
    # The matcher's threads need a newer C++ runtime than the one MATLAB loads from its own folder
    # (a missing GLIBCXX version would stop the file loading): it carries its own, and the version
    # script keeps every symbol of it hidden.
    target_link_options(${name} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
  # The bundled pair beside it, where its help example finds it.
  foreach(image motorcycle_left.png motorcycle_right.png)
    configure_file(${PROJECT_SOURCE_DIR}/data/${image} ${GCK_MEX_OUTPUT_DIR}/${image} COPYONLY)
  endforeach()
endfunction()

function(gck_build_mex name)
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
    target_link_options(${name} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/mex.map)
    if(NOT GCK_FUZZ)  # sanitized files take the sanitizers' runtime from the program that loads them
      target_link_options(${name} PRIVATE -Wl,--no-undefined)
    endif()
    target_link_libraries(${name} PRIVATE mx mex -Wl,--no-as-needed mat -Wl,--as-needed)
  elseif(GCK_FLAVOUR STREQUAL "windows")
    # A DLL exporting only mexFunction (declared dllexport), importing the host's calls from libmx.dll
    # and libmex.dll; the runtimes are linked in statically by the toolchain file.
    set_target_properties(${name} PROPERTIES SUFFIX ".mexw64")
    target_link_libraries(${name} PRIVATE ${GCK_HOST_IMPORT_LIBS})
    add_dependencies(${name} gck_host_imports)
  elseif(GCK_FLAVOUR STREQUAL "octave")
    # Octave's mex.h declares mexFunction without a visibility, so the gateway's own file is compiled
    # with default visibility and the version script keeps mexFunction the only export. The host's
    # calls resolve against the Octave process that loads the file.
    set_target_properties(${name} PROPERTIES SUFFIX ".mex" NO_SONAME ON
      CXX_VISIBILITY_PRESET default)
    target_link_options(${name} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/mex.map)
  endif()
  # Its help file beside it, where MATLAB's and Octave's `help <name>` look for it.
  configure_file(${PROJECT_SOURCE_DIR}/matlab/help/${name}.m ${GCK_MEX_OUTPUT_DIR}/${name}.m COPYONLY)
  set_property(GLOBAL APPEND PROPERTY GCK_MEX_FILES ${name})
endfunction()
