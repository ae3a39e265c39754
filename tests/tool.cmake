# The tkp30 tool end to end on an emulated token, with openssl as the
# independent party for signatures and ciphers.
find_program(NORV_OPENSSL_PROGRAM openssl REQUIRED)
add_test(NAME tool_end_to_end
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tool/tool_test.sh $<TARGET_FILE:tkp30>
          ${NORV_OPENSSL_PROGRAM} ${PROJECT_BINARY_DIR}/testtmp/tool)
set_tests_properties(tool_end_to_end PROPERTIES TIMEOUT 600)

# The tool's own pieces: hex, PKCS #1 blocks, message conversion, and the
# streaming over the library's cipher calls.
norv_test_folder(tool_unit_tests tool_units
  ${PROJECT_SOURCE_DIR}/tools/hex.cpp ${PROJECT_SOURCE_DIR}/tools/pkcs1_blocks.cpp
  ${PROJECT_SOURCE_DIR}/tools/gbk.cpp ${PROJECT_SOURCE_DIR}/tools/cipher_stream.cpp)
# The library's internal layout headers too, to pin the tool's copy of
# the layout to them.
target_include_directories(tool_unit_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools
                           ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/dmcos/include)
target_link_libraries(tool_unit_tests PRIVATE norv_dal_tkp30 OpenSSL::Crypto GTest::gtest_main)
