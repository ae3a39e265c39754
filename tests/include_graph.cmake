# The arrows between the library's folders, read from their includes: a
# folder of src/ leaning back on another, or the device library or the
# emulator reaching up into the library, fails the build's tests.
add_test(NAME include_graph
  COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/include_graph/check_includes.cmake)
add_test(NAME file_lengths
  COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/include_graph/check_file_lengths.cmake)
set_tests_properties(include_graph file_lengths PROPERTIES LABELS quick)
