# The Windows build's own checks, run under Wine: the DLL's export table,
# the PE files' security characteristics, a C caller that loads the DLL at
# run time, the platform layer across Windows processes (named lock, log
# file, shared emulated token), a C application of the PKCS #11 module and
# the installer.
if(NOT WIN32)
  return()
endif()

# The library's export table and the C caller that checks its calling
# conventions are 32-bit by nature (decorated __stdcall names, the stack
# pointer); a 64-bit build, made only to run the rest under 64-bit Wine,
# leaves them out.
set(NORV_WIN32_BITS 64)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(NORV_WIN32_BITS 32)
  add_test(NAME dll_exports
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DLIBRARY=$<TARGET_FILE:norv_dal_tkp30>
            -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/function_table/exports.txt
            -P ${CMAKE_CURRENT_SOURCE_DIR}/function_table/check_exports.cmake)
  set_tests_properties(dll_exports PROPERTIES LABELS native)
endif()

# ASLR and DEP for the DLLs and the tool (cmake/hardening.cmake).
if(NORV_HARDEN)
  add_test(NAME pe_characteristics
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP}
            -DFILES=$<TARGET_FILE:norv_dal_tkp30>,$<TARGET_FILE:dmcos>,$<TARGET_FILE:tkp30>,$<TARGET_FILE:tkp30_pkcs11>
            -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_dll_characteristics.cmake)
endif()

# These read the files with the build machine's objdump: they run where
# Wine cannot (scripts/windows.sh).
if(NORV_HARDEN)
  set_tests_properties(pe_characteristics PROPERTIES LABELS native)
endif()

# Built after the DLL it loads, never linked against it.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_executable(load_library_test windows/load_library_test.c)
  target_include_directories(load_library_test PRIVATE ${PROJECT_SOURCE_DIR}/include)
  add_dependencies(load_library_test norv_dal_tkp30)
  add_test(NAME load_library_test COMMAND load_library_test)
  set_tests_properties(load_library_test PROPERTIES RESOURCE_LOCK SemNorvDal)
endif()

add_executable(windows_tests
  windows/windows_test_main.cpp windows/child_process.cpp windows/diagnostic_log.cpp
  windows/named_lock_test.cpp windows/diagnostic_log_test.cpp windows/token_sharing_test.cpp)
target_include_directories(windows_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(windows_tests PRIVATE norv_dal_tkp30 test_os GTest::gtest)
add_test(NAME windows_tests COMMAND windows_tests)
set_tests_properties(windows_tests PROPERTIES
  ENVIRONMENT "TKP30_TEST_TMP=${PROJECT_BINARY_DIR}/testtmp")

# It takes the one machine-wide lock and squats its name.
set_tests_properties(windows_tests PROPERTIES RESOURCE_LOCK SemNorvDal)

# The PKCS #11 module as a C application built with the standard's header
# loads it: sign on a fresh emulated token, checked with the public key.
add_executable(pkcs11_sign_test windows/pkcs11_sign_test.c)
target_link_libraries(pkcs11_sign_test PRIVATE pkcs11_headers)
add_dependencies(pkcs11_sign_test tkp30_pkcs11)
add_test(NAME pkcs11_sign_test
  COMMAND pkcs11_sign_test $<TARGET_FILE:tkp30_pkcs11>
          ${PROJECT_BINARY_DIR}/testtmp/pkcs11_sign_test.img)

# The tool's whole tour on a fresh emulated token; it exits 0 only when
# every step did what it should.
add_test(NAME tool_demo COMMAND tkp30 demo)

# The installer that scripts/windows.sh packs with NSIS: its payload read
# by 7-Zip (no Wine needed), then the installer run silently in a fresh
# Wine prefix, what it installed used from there, and the uninstaller run.
set(NORV_INSTALLER
    ${PROJECT_BINARY_DIR}/tkp30-${PROJECT_VERSION}-win${NORV_WIN32_BITS}-setup.exe)
add_test(NAME installer_payload
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/installer_payload_test.sh ${NORV_INSTALLER}
          ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
set_tests_properties(installer_payload PROPERTIES LABELS native)
add_test(NAME installer
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/installer_test.sh ${NORV_INSTALLER}
          ${CMAKE_CROSSCOMPILING_EMULATOR} ${CMAKE_C_COMPILER}
          ${CMAKE_CURRENT_SOURCE_DIR}/windows/installed_app.c $<TARGET_FILE:pkcs11_sign_test>
          ${PROJECT_BINARY_DIR}/testtmp/installer)
set_tests_properties(installer PROPERTIES TIMEOUT 600)
