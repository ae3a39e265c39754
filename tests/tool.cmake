if(NOT TARGET tkp30)
  return()
endif()
# The tkp30 tool end to end on an emulated token, with openssl as the
# independent party for signatures and ciphers.
if(NOT WIN32)  # shell scripts
  find_program(NORV_OPENSSL_PROGRAM openssl REQUIRED)
  add_test(NAME tool_end_to_end
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tool/tool_test.sh $<TARGET_FILE:tkp30>
            ${NORV_OPENSSL_PROGRAM} ${PROJECT_BINARY_DIR}/testtmp/tool)
  set_tests_properties(tool_end_to_end PROPERTIES TIMEOUT 600)

  # The other scripts of tests/tool/: messages, PKI, signals and terminals,
  # sharing one token between processes; each on its own token.
  foreach(script messages pki signals sharing)
    add_test(NAME tool_${script}
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tool/${script}_test.sh $<TARGET_FILE:tkp30>
              ${NORV_OPENSSL_PROGRAM} ${PROJECT_BINARY_DIR}/testtmp/tool_${script})
    set_tests_properties(tool_${script} PROPERTIES TIMEOUT 300)
  endforeach()
  # The stress test releases the lock through another handle once; the
  # parallel tools must not be running then.
  set_tests_properties(tool_sharing PROPERTIES RESOURCE_LOCK SemNorvDal)
endif()

# The tool's own pieces: hex, PKCS #1 blocks, message conversion, and the
# streaming over the library's cipher calls.
norv_test_folder(tool_unit_tests tool_units LABELS quick)
target_link_libraries(tool_unit_tests PRIVATE tkp30_parts GTest::gtest_main)
