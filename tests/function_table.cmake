# The function table, as a caller that loads the library at run time sees
# it, and the library's exported names. The export list is one file: its
# first 69 names are the table's entries in order, the last is the table
# call itself.
set(NORV_EXPORT_LIST ${CMAKE_CURRENT_SOURCE_DIR}/function_table/exports.txt)

add_executable(function_table_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/function_table/function_table_test.cpp)
target_include_directories(function_table_tests PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_compile_definitions(function_table_tests PRIVATE
  NORV_DAL_LIBRARY_PATH="$<TARGET_FILE:norv_dal_tkp30>"
  NORV_EXPORT_LIST="${NORV_EXPORT_LIST}")
target_link_libraries(function_table_tests PRIVATE GTest::gtest_main ${CMAKE_DL_LIBS})
# Built after the library it loads, never linked against it.
add_dependencies(function_table_tests norv_dal_tkp30)
gtest_discover_tests(function_table_tests DISCOVERY_TIMEOUT 120 PROPERTIES LABELS quick)

add_test(NAME exported_symbols
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLIBRARY=$<TARGET_FILE:norv_dal_tkp30>
          -DEXPECTED=${NORV_EXPORT_LIST}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/function_table/check_exports.cmake)
set_tests_properties(exported_symbols PROPERTIES LABELS quick)
