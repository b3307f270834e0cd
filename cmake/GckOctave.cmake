# The Octave flavour compiles the same gateways against Octave's own mex.h, with the include folders
# mkoctfile reports.
find_program(GCK_MKOCTFILE mkoctfile REQUIRED)
execute_process(COMMAND ${GCK_MKOCTFILE} -p INCFLAGS
  OUTPUT_VARIABLE octave_incflags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(octave_incflags UNIX_COMMAND "${octave_incflags}")
set(GCK_OCTAVE_INCLUDE_DIRS)
foreach(flag ${octave_incflags})
  if(flag MATCHES "^-I(.+)$")
    get_filename_component(dir "${CMAKE_MATCH_1}" ABSOLUTE)
    list(APPEND GCK_OCTAVE_INCLUDE_DIRS ${dir})
  endif()
endforeach()
find_file(GCK_OCTAVE_MEX_H mex.h PATHS ${GCK_OCTAVE_INCLUDE_DIRS} NO_DEFAULT_PATH)
if(NOT GCK_OCTAVE_MEX_H)
  message(FATAL_ERROR "mkoctfile names no folder holding Octave's mex.h (${GCK_OCTAVE_INCLUDE_DIRS})")
endif()
