# The device library exports its own C functions, listed in
# dmcos/exports.txt, and nothing of the emulator or the C++ runtime it
# carries.
if(WIN32)
  add_test(NAME dmcos_exported_symbols
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DLIBRARY=$<TARGET_FILE:dmcos>
            -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/dmcos/exports.txt
            -P ${CMAKE_CURRENT_SOURCE_DIR}/function_table/check_exports.cmake)
else()
  add_test(NAME dmcos_exported_symbols
    COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DLIBRARY=$<TARGET_FILE:dmcos>
            -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/dmcos/exports.txt
            -P ${CMAKE_CURRENT_SOURCE_DIR}/function_table/check_exports.cmake)
endif()
set_tests_properties(dmcos_exported_symbols PROPERTIES LABELS quick)
