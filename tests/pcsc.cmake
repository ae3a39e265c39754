# The PC/SC suite: needs a running pcscd with vpcd's virtual readers, so it
# is not part of the default test run; tests/pcsc/run_pcsc_suite.sh starts
# pcscd and the virtual cards and runs it.
if(NOT TARGET tkp30-vcard)
  return()
endif()

add_executable(pcsc_tests
  pcsc/vpcd_protocol_test.cpp pcsc/pcsc_slot_test.cpp pcsc/pcsc_reset_test.cpp
  pcsc/pcsc_fixture.cpp pcsc/vcard_process.cpp support/e2e_pcsc_reset.cpp)
target_include_directories(pcsc_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})
target_compile_definitions(pcsc_tests PRIVATE TKP30_VCARD_PATH="$<TARGET_FILE:tkp30-vcard>")
target_link_libraries(pcsc_tests PRIVATE vcard_core dal_internal dmcos_internal PkgConfig::PCSC
                                         GTest::gtest_main Threads::Threads)
add_dependencies(pcsc_tests tkp30-vcard)

find_package(benchmark REQUIRED)
add_executable(pcsc_bench pcsc/pcsc_round_trip_bench.cpp)
target_include_directories(pcsc_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})
target_link_libraries(pcsc_bench PRIVATE benchmark::benchmark PkgConfig::PCSC)

# The end-to-end fixture resets the card of a pcsc: slot through PC/SC.
if(TARGET e2e_tests)
  target_include_directories(e2e_tests PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(e2e_tests PRIVATE PkgConfig::PCSC)
endif()
