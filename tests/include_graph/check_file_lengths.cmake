# No source file of the production folders over 400 lines: a file that
# grows past that holds more than one thing and is split by what it holds.
# The public header is the one exception: it is the interface, whole.
#   cmake -DROOT=<project> -P check_file_lengths.cmake
set(limit 400)
set(too_long "")
foreach(folder src dmcos emulator common tools pkcs11)
  file(GLOB_RECURSE files "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.c")
  foreach(path ${files})
    file(READ "${path}" text)
    string(REGEX MATCHALL "\n" newlines "${text}")
    list(LENGTH newlines count)
    if(count GREATER limit)
      file(RELATIVE_PATH name "${ROOT}" "${path}")
      list(APPEND too_long "${name} (${count} lines)")
    endif()
  endforeach()
endforeach()
if(too_long)
  list(JOIN too_long "\n  " listing)
  message(FATAL_ERROR "Over ${limit} lines:\n  ${listing}")
endif()
message(STATUS "Every production file is ${limit} lines or fewer")
