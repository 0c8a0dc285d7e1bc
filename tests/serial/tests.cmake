# Tests of src/serial.

# The frame protocol and the queues: pure code, the same test in every build.
tarvelin_add_test(serial_protocol_tests ${CMAKE_CURRENT_LIST_DIR}/protocol_test.cpp)

# The link against emulated boards. Natively the emulator runs inside the test program; the
# Windows build runs under Wine against the native emulator, started by wine_rig_link.sh with
# the boards registered as COM ports and USB devices of a Wine prefix of its own (restarting
# its wineserver must not disturb the other tests' prefix).
set(rig_link_sources
  ${CMAKE_CURRENT_LIST_DIR}/rig_link_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial_port_layer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wind_serial_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/link_fixture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/support/rig_emulator_client.cpp)
if(NOT WIN32)
  tarvelin_add_test(rig_link_tests ${rig_link_sources}
    ${CMAKE_CURRENT_LIST_DIR}/support/rig_environment_native.cpp)
  target_link_libraries(rig_link_tests PRIVATE tarvelin_rig_emulator)
  # The flood test bounds the longest silence between motion frames; beside other tests' engines,
  # which spin out their periods at raised priority, a 2-core machine would stall it instead.
  set_tests_properties(rig_link_tests PROPERTIES RUN_SERIAL ON)

  tarvelin_add_test(posix_com_ports_tests ${CMAKE_CURRENT_LIST_DIR}/posix_com_ports_test.cpp)
else()
  add_executable(rig_link_tests ${rig_link_sources}
    ${CMAKE_CURRENT_LIST_DIR}/support/rig_environment_remote.cpp)
  target_link_libraries(rig_link_tests PRIVATE tarvelin_core tarvelin_test_support GTest::gtest_main GTest::gmock)
  add_dependencies(rig_link_tests rig_emulator_native)
  add_test(NAME rig_link_tests
    COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine_rig_link.sh
      ${TARVELIN_NATIVE_RIG_EMULATOR} ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh
      ${CMAKE_BINARY_DIR}/wineprefix-rig-link ${CMAKE_CURRENT_BINARY_DIR}/rig-link-bench
      $<TARGET_FILE:rig_link_tests>)
  set_tests_properties(rig_link_tests PROPERTIES TIMEOUT 900 RUN_SERIAL ON)
endif()
