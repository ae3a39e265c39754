# Installing, and using the installed tree from another project. A
# sanitized library needs sanitized callers, so the sanitizer build leaves
# this to the normal one.
if(NOT NORV_SANITIZE AND NOT NORV_FUZZ)
  add_test(NAME install_and_use
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install/install_test.sh ${PROJECT_BINARY_DIR}
            ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/testtmp/install ${CMAKE_C_COMPILER})
  set_tests_properties(install_and_use PROPERTIES TIMEOUT 300)
endif()
