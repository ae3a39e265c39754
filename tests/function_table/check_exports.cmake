# Fails unless the shared library's defined dynamic symbols are exactly the
# names listed in EXPECTED (one per line). Run with
#   cmake -DNM=<nm> -DLIBRARY=<.so> -DEXPECTED=<list> -P check_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only --format=posix ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE rv)
if(NOT rv EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()

string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(actual)
foreach(line IN LISTS lines)
  string(REGEX REPLACE " .*" "" name "${line}")
  list(APPEND actual ${name})
endforeach()

file(STRINGS ${EXPECTED} expected)
list(SORT actual)
list(SORT expected)
list(REMOVE_DUPLICATES actual)

set(extra ${actual})
list(REMOVE_ITEM extra ${expected})
set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
if(extra OR missing)
  message(FATAL_ERROR "exported symbols differ\n  unexpected: ${extra}\n  missing: ${missing}")
endif()
list(LENGTH actual count)
message(STATUS "${count} exports, as listed")
