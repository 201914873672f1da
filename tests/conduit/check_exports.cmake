# Compares the defined dynamic symbols of LIBRARY with the names in EXPECTED.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(found "")
foreach(line IN LISTS lines)
  # "<address> <kind> <name>"; sanitizer builds add their own interface
  # symbols, and the linker marks the ends of the data sections (once the
  # library links Qt), neither of which is ours.
  if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^ ]+)$")
    set(name "${CMAKE_MATCH_1}")
    # Unoptimised builds also export the standard library's weak template instances.
    if(NOT name MATCHES "^(__asan|__ubsan|__tsan|__sanitizer|__lsan)" AND NOT name MATCHES "^(__bss_start|_edata|_end)$"
       AND NOT name MATCHES "^_ZNSt")
      list(APPEND found "${name}")
    endif()
  endif()
endforeach()
list(SORT found)
file(STRINGS ${EXPECTED} expected)
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
