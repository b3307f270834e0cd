# The Windows flavour's link against the host and how its programs run on this machine.
#
# The deliverables import MATLAB's calls from libmx.dll and libmex.dll through import libraries made
# from the .def files in bridge/, so a .mexw64 names exactly the calls the gateways make.
set(GCK_HOST_IMPORT_LIBS)
foreach(host_lib mx mex)
  set(def ${PROJECT_SOURCE_DIR}/bridge/lib${host_lib}.def)
  set(implib ${CMAKE_BINARY_DIR}/host_import/lib${host_lib}.dll.a)
  add_custom_command(OUTPUT ${implib}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host_import
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def} --dllname lib${host_lib}.dll --output-lib ${implib}
    DEPENDS ${def}
    VERBATIM)
  list(APPEND GCK_HOST_IMPORT_LIBS ${implib})
endforeach()
add_custom_target(gck_host_imports DEPENDS ${GCK_HOST_IMPORT_LIBS})

# ctest runs every test program under wine, in a prefix of the build folder's own.
set(CMAKE_CROSSCOMPILING_EMULATOR bash ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
