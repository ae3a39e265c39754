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
  add_test(NAME installed_files_hardened
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install/hardening_check.sh
            ${NORV_INSTALL_TEST_DIR}/prefix ${check} ${CMAKE_CXX_COMPILER} ${NORV_FORTIFIED}
            $<TARGET_FILE:dal_internal> $<TARGET_FILE:dmcos_internal> $<TARGET_FILE:tkp30emu>
            $<TARGET_FILE:tkp30_parts> $<TARGET_FILE:vcard_core> $<TARGET_FILE:pkcs11_core>)
  set_tests_properties(installed_files_hardened PROPERTIES
    TIMEOUT 300 FIXTURES_REQUIRED installed_tree)
endif()
