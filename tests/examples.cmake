# The README's minimal C program: built as C99 against the shared
# library, run on a freshly formatted emulated token, and shown to fail
# cleanly when no token is configured.
add_executable(example_minimal ${PROJECT_SOURCE_DIR}/examples/minimal.c)
set_target_properties(example_minimal PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
target_link_libraries(example_minimal PRIVATE norv_dal_tkp30)
if(NORV_SANITIZE)
  # A sanitized C++ library needs the C++ parts of the sanitizer runtimes,
  # which only the C++ driver links.
  set_target_properties(example_minimal PROPERTIES LINKER_LANGUAGE CXX)
endif()

set(NORV_EXAMPLE_IMAGE ${PROJECT_BINARY_DIR}/testtmp/example_minimal.img)
add_test(NAME example_minimal_token
  COMMAND ${CMAKE_COMMAND} -E env SUPER_PIN=11223344 USER_PIN=123456
          $<TARGET_FILE:tkp30> --emulator ${NORV_EXAMPLE_IMAGE}
          format --yes --super-pin-env SUPER_PIN --user-pin-env USER_PIN)
set_tests_properties(example_minimal_token PROPERTIES FIXTURES_SETUP example_token)

add_test(NAME example_minimal COMMAND example_minimal)
set_tests_properties(example_minimal PROPERTIES
  FIXTURES_REQUIRED example_token
  ENVIRONMENT "TKP30_SLOTS=emu:${NORV_EXAMPLE_IMAGE}"
  PASS_REGULAR_EXPRESSION "user PIN not logged in\nrandom:( [0-9a-f][0-9a-f])+\n")

add_test(NAME example_minimal_without_token COMMAND example_minimal)
set_tests_properties(example_minimal_without_token PROPERTIES
  ENVIRONMENT "TKP30_SLOTS="
  WILL_FAIL TRUE)
