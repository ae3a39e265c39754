# Installing, and using the installed tree from another project. A
# sanitized library needs sanitized callers, so the sanitizer build leaves
# this to the normal one.
if(NOT NORV_SANITIZE AND NOT NORV_FUZZ)
  set(NORV_INSTALL_TEST_DIR ${PROJECT_BINARY_DIR}/testtmp/install)
  add_test(NAME install_and_use
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install/install_test.sh ${PROJECT_BINARY_DIR}
            ${PROJECT_SOURCE_DIR} ${NORV_INSTALL_TEST_DIR} ${CMAKE_C_COMPILER})
  set_tests_properties(install_and_use PROPERTIES TIMEOUT 300 FIXTURES_SETUP installed_tree)
endif()

# The installed programs and libraries hardened as a distribution's
# (cmake/hardening.cmake), by Debian's hardening-check on the tree the test
# above installed. A coverage build is unoptimised and not for users.
if(NORV_HARDEN AND NOT NORV_COVERAGE)
  find_program(NORV_HARDENING_CHECK hardening-check)
  set(check hardening-check)  # the script says it is missing
  if(NORV_HARDENING_CHECK)
    set(check ${NORV_HARDENING_CHECK})
  endif()
  # glibc fortifies the printf family in C++ only where the compiler can
  # pass variadic arguments on (GCC's __builtin_va_arg_pack; not clang).
  # Without it the library's and the tool's other calls write into buffers
  # of sizes the compiler cannot see, and the check would find no call
  # that _FORTIFY_SOURCE could guard.
  include(CheckCXXSourceCompiles)
  check_cxx_source_compiles([[
    #include <cstdio>
    #ifndef __va_arg_pack
    #error the printf family is not fortified in C++
    #endif
    int main() { return 0; }]] NORV_CXX_FORTIFIES_PRINTF)
  set(fortified "$<AND:${NORV_FORTIFIED},$<BOOL:${NORV_CXX_FORTIFIES_PRINTF}>>")
  add_test(NAME installed_files_hardened
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install/hardening_check.sh
            ${NORV_INSTALL_TEST_DIR}/prefix ${check} ${CMAKE_CXX_COMPILER} ${fortified}
            $<TARGET_FILE:dal_internal> $<TARGET_FILE:dmcos_internal> $<TARGET_FILE:tkp30emu>
            $<TARGET_FILE:tkp30_parts> $<TARGET_FILE:vcard_core> $<TARGET_FILE:pkcs11_core>)
  set_tests_properties(installed_files_hardened PROPERTIES
    TIMEOUT 300 FIXTURES_REQUIRED installed_tree)
endif()
