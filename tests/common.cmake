# What the applications know of the token (common/): its shape held to the
# library's own definitions, and the RSA-1024 kit against libcrypto.
if(NOT TARGET tkp30_common)
  return()
endif()
norv_test_folder(common_tests common LABELS quick)
target_link_libraries(common_tests PRIVATE tkp30_common GTest::gtest_main OpenSSL::Crypto)
# The library's and the device library's own definitions, to pin to.
target_include_directories(common_tests PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/dmcos
                                                ${PROJECT_SOURCE_DIR}/dmcos/include)
