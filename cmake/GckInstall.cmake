# What `cmake --install build/linux --prefix P` lays out for a C++ user: the matcher as one static
# library with the cores inside, its public headers in include/gckmatch/, the gckmatch command, and
# a CMake package, so that a consumer writes
#   find_package(gckmatch 0.2 CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE gckmatch::matcher)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The public headers, named one by one: images and their files (and what stops writing one), the
# options, the field, the match calls (pairs and video) and their error. Everything else of the project is internal and stays out.
set(GCK_PUBLIC_HEADERS matcher/image.h matcher/field.h matcher/matcher.h matcher/sequence.h
                       io/image_file.h io/stop.h)

# In the tree these headers include each other as "matcher/field.h"; installed they sit side by side
# and include each other as <gckmatch/field.h>. The installed copies are made here, in
# public/gckmatch/ beside the generated version.h. A public header that includes any other header
# of the project would drag an internal one along, so that stops the configuration.
set(GCK_PUBLIC_DIR ${PROJECT_BINARY_DIR}/public/gckmatch)
foreach(header ${GCK_PUBLIC_HEADERS})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${header})
  file(READ ${PROJECT_SOURCE_DIR}/${header} text)
  string(REGEX MATCHALL "#include \"[^\"]+\"" includes "${text}")
  foreach(include ${includes})
    string(REGEX REPLACE "#include \"([^\"]+)\"" "\\1" included "${include}")
    if(NOT included IN_LIST GCK_PUBLIC_HEADERS)
      message(FATAL_ERROR "The public header ${header} includes ${included}, which is not public: "
                          "make it public in cmake/GckInstall.cmake or include it elsewhere.")
    endif()
    get_filename_component(included_name ${included} NAME)
    string(REPLACE "${include}" "#include <gckmatch/${included_name}>" text "${text}")
  endforeach()
  get_filename_component(name ${header} NAME)
  set(installed ${GCK_PUBLIC_DIR}/${name})
  set(previous "")
  if(EXISTS ${installed})
    file(READ ${installed} previous)
  endif()
  if(NOT previous STREQUAL text)  # rewritten only when changed, so nothing rebuilds needlessly
    file(WRITE ${installed} "${text}")
  endif()
endforeach()

# One archive, libgckmatch.a: the matcher's, the cores' and the file reader's and writers' objects,
# so the exported target carries everything it needs. The image coder (stb) is compiled in with
# internal linkage: a consumer needs neither stb's headers nor its library, only the system's zlib.
add_library(gckmatch_matcher STATIC
  $<TARGET_OBJECTS:gck_matcher> $<TARGET_OBJECTS:gck_cores> $<TARGET_OBJECTS:gck_io>)
target_include_directories(gckmatch_matcher INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_link_libraries(gckmatch_matcher INTERFACE Threads::Threads ZLIB::ZLIB)
target_compile_features(gckmatch_matcher INTERFACE cxx_std_17)
set_target_properties(gckmatch_matcher PROPERTIES OUTPUT_NAME gckmatch EXPORT_NAME matcher)

install(TARGETS gckmatch_matcher EXPORT gckmatchTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS gckmatch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${GCK_PUBLIC_DIR} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(GCK_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/gckmatch)
install(EXPORT gckmatchTargets NAMESPACE gckmatch:: DESTINATION ${GCK_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/gckmatchConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/gckmatchConfig.cmake INSTALL_DESTINATION ${GCK_PACKAGE_DIR})
# Before 1.0 a minor version may change the interface: 0.2 accepts 0.2.x only.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/gckmatchConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/gckmatchConfig.cmake
              ${PROJECT_BINARY_DIR}/package/gckmatchConfigVersion.cmake
        DESTINATION ${GCK_PACKAGE_DIR})
