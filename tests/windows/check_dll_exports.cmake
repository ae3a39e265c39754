# Fails unless the DLL's export table names exactly the names listed in
# EXPECTED (one per line), the session no-ops under their decorated
# Windows names. Run with
#   cmake -DOBJDUMP=<objdump> -DDLL=<.dll> -DEXPECTED=<list> -P check_dll_exports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rv)
if(NOT rv EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

# The name table: one "\t[  n] Name" line per export after its heading.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${DLL} has no export name table")
endif()
string(SUBSTRING "${dump}" ${at} -1 table)
string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" lines "${table}")
set(actual)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^\t\\[ *[0-9]+\\] " "" name "${line}")
  list(APPEND actual "${name}")
endforeach()

file(STRINGS ${EXPECTED} expected)
list(TRANSFORM expected REPLACE "^NORV_DAL_(InitializeEx|FinalizeEx)$" "_NORV_DAL_\\1@4")
list(SORT actual)
list(SORT expected)

set(extra ${actual})
list(REMOVE_ITEM extra ${expected})
set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
list(LENGTH actual count)
list(LENGTH expected wanted)
if(extra OR missing OR NOT count EQUAL wanted)
  message(FATAL_ERROR "exports differ\n  unexpected: ${extra}\n  missing: ${missing}")
endif()
message(STATUS "${count} exports, as listed:\n${actual}")
