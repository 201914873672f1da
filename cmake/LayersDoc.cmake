# The libraries this build makes, written to libraries.txt at configure time,
# and the test that docs/layers.md gives each of them a layer: a library
# added without a line there fails the suite.
function(tarvo_collect_libraries dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  set(found)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    # Qt makes an object library of each resource file (NAME_resources_1), part of NAME.
    if(type MATCHES "^(STATIC|SHARED|OBJECT|MODULE)_LIBRARY$" AND NOT target MATCHES "_resources_[0-9]+$")
      list(APPEND found ${target})
    endif()
  endforeach()
  foreach(subdir IN LISTS subdirs)
    # What only tests, benchmarks and fuzz targets link has no layer.
    if(NOT subdir MATCHES "^${PROJECT_SOURCE_DIR}/(tests|bench|fuzz)(/|$)")
      tarvo_collect_libraries(${subdir} more)
      list(APPEND found ${more})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

tarvo_collect_libraries(${PROJECT_SOURCE_DIR} tarvo_libraries)
list(SORT tarvo_libraries)
list(JOIN tarvo_libraries "\n" tarvo_library_lines)
file(WRITE ${PROJECT_BINARY_DIR}/libraries.txt "${tarvo_library_lines}\n")
add_test(NAME LayersDoc.GivesEveryLibraryOfTheBuildALayer
  COMMAND ${CMAKE_COMMAND} -DLIBRARIES=${PROJECT_BINARY_DIR}/libraries.txt -DDOC=${PROJECT_SOURCE_DIR}/docs/layers.md
          -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayersDoc.cmake)
