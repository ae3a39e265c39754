# Fails unless the library exports exactly the names listed in EXPECTED
# (one per line). Run with
#   cmake -DNM=<nm> -DLIBRARY=<.so> -DEXPECTED=<list> -P check_exports.cmake
# for a shared library's defined dynamic symbols, or with
#   cmake -DOBJDUMP=<objdump> -DLIBRARY=<.dll> -DEXPECTED=<list> -P check_exports.cmake
# for a DLL's export table, where the session no-ops carry their decorated
# Windows names.
set(actual)
if(OBJDUMP)
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rv)
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
  if(NOT rv EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "no export name table read from ${LIBRARY}")
  endif()
  # One "\t[  n] Name" line per export after the heading.
  string(SUBSTRING "${dump}" ${at} -1 table)
  string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" lines "${table}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^\t\\[ *[0-9]+\\] " "" name "${line}")
    list(APPEND actual "${name}")
  endforeach()
else()
  execute_process(COMMAND ${NM} -D --defined-only --format=posix ${LIBRARY}
                  OUTPUT_VARIABLE listing RESULT_VARIABLE rv)
  if(NOT rv EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
  endif()
  string(REGEX REPLACE "\n$" "" listing "${listing}")
  string(REPLACE "\n" ";" lines "${listing}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE " .*" "" name "${line}")
    list(APPEND actual ${name})
  endforeach()
endif()

file(STRINGS ${EXPECTED} expected)
if(OBJDUMP)
  list(TRANSFORM expected REPLACE "^NORV_DAL_(InitializeEx|FinalizeEx)$" "_NORV_DAL_\\1@4")
endif()
list(SORT actual)
list(SORT expected)
list(LENGTH actual listed)
list(REMOVE_DUPLICATES actual)
list(LENGTH actual count)

set(extra ${actual})
list(REMOVE_ITEM extra ${expected})
set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
if(extra OR missing)
  message(FATAL_ERROR "exported symbols differ\n  unexpected: ${extra}\n  missing: ${missing}")
endif()
if(OBJDUMP AND NOT listed EQUAL count)
  message(FATAL_ERROR "a name is exported twice: ${actual}")
endif()
message(STATUS "${count} exports, as listed:\n${actual}")
