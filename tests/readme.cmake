# The README's walkthrough, run as printed with the built tool.
add_test(NAME readme_walkthrough
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/readme/walkthrough_test.sh
          ${PROJECT_SOURCE_DIR}/README.md $<TARGET_FILE_DIR:tkp30>
          ${PROJECT_BINARY_DIR}/testtmp/readme_walkthrough)
set_tests_properties(readme_walkthrough PROPERTIES TIMEOUT 300)
