# Hardening suites. Fault injection and the bad input matrix live in
# unit_tests: the scripted device answers through an emulated card. The
# multi-process stress test needs the real device library, so it is its
# own executable.
if(TARGET unit_tests)
  target_sources(unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/support/fault_card.cpp)
  target_link_libraries(unit_tests PRIVATE tkp30emu)
endif()

file(GLOB STRESS_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/stress/*.cpp)
if(STRESS_SOURCES AND NOT WIN32)  # fork and signals
  add_executable(stress_tests ${STRESS_SOURCES})
  target_include_directories(stress_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(stress_tests PRIVATE dal_internal dmcos_internal GTest::gtest_main
                                             Threads::Threads)
  # Bounded: the children loop a fixed number of times and each dies of
  # its own alarm. Each run uses a lock of its own name, so killing its
  # holder never disturbs the machine-wide lock of other programs.
  gtest_discover_tests(stress_tests DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 90 ENVIRONMENT "TKP30_TEST_TMP=${PROJECT_BINARY_DIR}/testtmp")
endif()
