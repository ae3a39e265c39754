# The PKCS #11 module: its own logic through emulated tokens, its exports,
# and the clients people use with it (pkcs11-tool, OpenSSH, GnuTLS's
# p11tool), run by tests/pkcs11/clients_test.sh. On Windows the unit tests
# run under Wine and the export table is read from the DLL; the clients are
# Linux's (tests/windows.cmake has a Windows application of the module).
if(NOT TARGET tkp30_pkcs11)
  return()
endif()

norv_test_folder(pkcs11_tests pkcs11 LABELS quick)
# The emulated tokens are reached through the device library the module
# loads, never through a second copy of the emulator.
target_link_libraries(pkcs11_tests PRIVATE pkcs11_core dmcos GTest::gtest_main
                                           Threads::Threads OpenSSL::Crypto)
target_include_directories(pkcs11_tests PRIVATE ${PROJECT_SOURCE_DIR}/dmcos/include)
# The interface tests load the module as applications do.
target_compile_definitions(pkcs11_tests PRIVATE TKP30_PKCS11_MODULE="$<TARGET_FILE:tkp30_pkcs11>")
target_link_libraries(pkcs11_tests PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(pkcs11_tests tkp30_pkcs11)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    # The tests hand the std::size_t lengths of their small buffers to
    # CK_ULONG throughout; on 64-bit Windows CK_ULONG stays 32 bits, and
    # each would be flagged as narrowing.
    target_compile_options(pkcs11_tests PRIVATE -Wno-conversion -Wno-narrowing)
  endif()
  add_test(NAME pkcs11_exports
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DLIBRARY=$<TARGET_FILE:tkp30_pkcs11>
            -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/pkcs11/exports.txt
            -P ${CMAKE_CURRENT_SOURCE_DIR}/function_table/check_exports.cmake)
  set_tests_properties(pkcs11_exports PROPERTIES LABELS native)
  return()
endif()

add_test(NAME pkcs11_exports
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLIBRARY=$<TARGET_FILE:tkp30_pkcs11>
          -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/pkcs11/exports.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/function_table/check_exports.cmake)
set_tests_properties(pkcs11_exports PROPERTIES LABELS quick)

# Clients are not built with the sanitizers: they get the runtime preloaded.
set(PKCS11_PRELOAD "")
if(NORV_SANITIZE)
  set(runtime libasan.so)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(runtime libclang_rt.asan-${CMAKE_SYSTEM_PROCESSOR}.so)
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                  OUTPUT_VARIABLE PKCS11_PRELOAD OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
add_test(NAME pkcs11_clients
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/pkcs11/clients_test.sh $<TARGET_FILE:tkp30_pkcs11>
          ${PROJECT_BINARY_DIR}/testtmp/pkcs11_clients)
set_tests_properties(pkcs11_clients PROPERTIES TIMEOUT 600
  ENVIRONMENT "TKP30_CLIENT_PRELOAD=${PKCS11_PRELOAD}")

# One test per client program people use with the module, each on a token
# of its own (tests/pkcs11/clients/).
file(GLOB PKCS11_CLIENT_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/pkcs11/clients/*.sh)
list(FILTER PKCS11_CLIENT_SCRIPTS EXCLUDE REGEX "/common\\.sh$")
foreach(script ${PKCS11_CLIENT_SCRIPTS})
  get_filename_component(client ${script} NAME_WE)
  add_test(NAME pkcs11_client_${client}
    COMMAND bash ${script} $<TARGET_FILE:tkp30_pkcs11> ${PROJECT_BINARY_DIR}/testtmp/pkcs11_${client})
  # OpenSC's p11test comes from scripts/p11test.sh, named by P11TEST in
  # the environment of ctest; without it that test is skipped.
  set_tests_properties(pkcs11_client_${client} PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77
    ENVIRONMENT "TKP30_CLIENT_PRELOAD=${PKCS11_PRELOAD};TKP30_TOOL=$<TARGET_FILE:tkp30>")
endforeach()

# A creator killed between making an object file and recording it, many
# times over: the shim preloaded into pkcs11-tool kills it at that point.
add_library(kill_after_create MODULE pkcs11/kill_after_create.c)
target_link_libraries(kill_after_create PRIVATE ${CMAKE_DL_LIBS})
add_test(NAME pkcs11_capacity_after_kills
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/pkcs11/capacity_test.sh $<TARGET_FILE:tkp30_pkcs11>
          $<TARGET_FILE:kill_after_create> ${PROJECT_BINARY_DIR}/testtmp/pkcs11_capacity)
set_tests_properties(pkcs11_capacity_after_kills PROPERTIES TIMEOUT 600
  ENVIRONMENT "TKP30_CLIENT_PRELOAD=${PKCS11_PRELOAD}")
