# cmake -DLIBRARIES=FILE -DDOC=FILE -P CheckLayersDoc.cmake
# Fails unless each library of LIBRARIES (one a line) is named, as `name`,
# in the first column of a table of DOC: the tables that say what each
# library sees.
file(STRINGS ${LIBRARIES} libraries)
file(STRINGS ${DOC} lines)
set(named "")
foreach(line IN LISTS lines)
  if(line MATCHES "^\\| *([^|]*)\\|")
    string(APPEND named " ${CMAKE_MATCH_1}")
  endif()
endforeach()
set(missing)
foreach(library IN LISTS libraries)
  string(FIND "${named}" "`${library}`" at)
  if(at EQUAL -1)
    list(APPEND missing ${library})
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " missing)
  message(FATAL_ERROR "${DOC} gives no layer to the libraries ${missing}: add a row for each to its table")
endif()
message(STATUS "${DOC} names every library of the build")
