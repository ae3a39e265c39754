# The Windows build's own checks, run under Wine: the DLL's export table,
# the PE files' security characteristics, a C caller that loads the DLL at
# run time, and the platform layer across Windows processes (named lock,
# log file, shared emulated token).
if(NOT WIN32)
  return()
endif()

add_test(NAME dll_exports
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DLIBRARY=$<TARGET_FILE:norv_dal_tkp30>
          -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/function_table/exports.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/function_table/check_exports.cmake)

# ASLR and DEP for the DLLs and the tool (cmake/hardening.cmake).
if(NORV_HARDEN)
  add_test(NAME pe_characteristics
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP}
            -DFILES=$<TARGET_FILE:norv_dal_tkp30>,$<TARGET_FILE:dmcos>,$<TARGET_FILE:tkp30>
            -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_dll_characteristics.cmake)
endif()

# These two read the files with the build machine's objdump: they run
# where Wine cannot (scripts/windows.sh).
set_tests_properties(dll_exports PROPERTIES LABELS native)
if(NORV_HARDEN)
  set_tests_properties(pe_characteristics PROPERTIES LABELS native)
endif()

# Built after the DLL it loads, never linked against it.
add_executable(load_library_test windows/load_library_test.c)
target_include_directories(load_library_test PRIVATE ${PROJECT_SOURCE_DIR}/include)
add_dependencies(load_library_test norv_dal_tkp30)
add_test(NAME load_library_test COMMAND load_library_test)

add_executable(windows_tests
  windows/windows_test_main.cpp windows/child_process.cpp windows/diagnostic_log.cpp
  windows/named_lock_test.cpp windows/diagnostic_log_test.cpp windows/token_sharing_test.cpp)
target_include_directories(windows_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(windows_tests PRIVATE norv_dal_tkp30 test_os GTest::gtest)
add_test(NAME windows_tests COMMAND windows_tests)
set_tests_properties(windows_tests PROPERTIES
  ENVIRONMENT "TKP30_TEST_TMP=${PROJECT_BINARY_DIR}/testtmp")

# Both take the one machine-wide lock; windows_tests also squats its name.
set_tests_properties(load_library_test windows_tests PROPERTIES RESOURCE_LOCK SemNorvDal)

# The tool's whole tour on a fresh emulated token; it exits 0 only when
# every step did what it should.
add_test(NAME tool_demo COMMAND tkp30 demo)
