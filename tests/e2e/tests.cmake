# End-to-end: the telemetry emulator playing BeamNG, the engine, the rig link and the rig
# controller emulator, all real. The test uses BeamNG's own port and the rig pose block's
# fixed name, so it takes the locks of the other tests that use them.
set(e2e_sources
  ${CMAKE_CURRENT_LIST_DIR}/beamng_to_rig_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/low_latency_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/motion_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rig_safety_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/link_fixture.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/rig_emulator_client.cpp)
if(NOT WIN32)
  tarvelin_add_test(e2e_beamng_to_rig ${e2e_sources}
    ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/rig_environment_native.cpp)
  target_link_libraries(e2e_beamng_to_rig PRIVATE tarvelin_rig_emulator tarvelin_telemetry_emulator)
else()
  # Under Wine against the native rig emulator, with the boards set up by the rig link's own
  # driver script in a Wine prefix of this test's own.
  add_executable(e2e_beamng_to_rig ${e2e_sources}
    ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/rig_environment_remote.cpp)
  target_link_libraries(e2e_beamng_to_rig PRIVATE tarvelin_core tarvelin_test_support tarvelin_telemetry_emulator
    GTest::gtest_main GTest::gmock)
  add_dependencies(e2e_beamng_to_rig rig_emulator_native)
  add_test(NAME e2e_beamng_to_rig
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/serial/wine_rig_link.sh
      ${TARVELIN_NATIVE_RIG_EMULATOR} ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh
      ${CMAKE_BINARY_DIR}/wineprefix-e2e ${CMAKE_CURRENT_BINARY_DIR}/e2e-bench
      $<TARGET_FILE:e2e_beamng_to_rig>)
  set_tests_properties(e2e_beamng_to_rig PROPERTIES TIMEOUT 900)
endif()
set_tests_properties(e2e_beamng_to_rig PROPERTIES RESOURCE_LOCK "game_ports;rig_pose_block")

# Every emulated game through the engine to the rig controller emulator. The games use their own
# ports, blocks and process names, and the rig pose block its fixed name. The Flight Simulators
# play in the test's own process, behind the client library that emulated_simconnect.cpp links in.
set(e2e_games_sources
  ${CMAKE_CURRENT_LIST_DIR}/game_to_rig_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_cases.cpp
  ${CMAKE_CURRENT_LIST_DIR}/emulated_simconnect.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/link_fixture.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/rig_emulator_client.cpp)
if(NOT WIN32)
  tarvelin_add_test(e2e_games_to_rig ${e2e_games_sources}
    ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/rig_environment_native.cpp)
  target_link_libraries(e2e_games_to_rig PRIVATE tarvelin_rig_emulator tarvelin_telemetry_emulator)
else()
  add_executable(e2e_games_to_rig ${e2e_games_sources}
    ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/rig_environment_remote.cpp)
  target_link_libraries(e2e_games_to_rig PRIVATE tarvelin_core tarvelin_test_support tarvelin_telemetry_emulator
    GTest::gtest_main GTest::gmock)
  add_dependencies(e2e_games_to_rig rig_emulator_native)
  add_test(NAME e2e_games_to_rig
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/serial/wine_rig_link.sh
      ${TARVELIN_NATIVE_RIG_EMULATOR} ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh
      ${CMAKE_BINARY_DIR}/wineprefix-e2e-games ${CMAKE_CURRENT_BINARY_DIR}/e2e-games-bench
      $<TARGET_FILE:e2e_games_to_rig>)
  set_tests_properties(e2e_games_to_rig PROPERTIES TIMEOUT 900)
endif()
set_tests_properties(e2e_games_to_rig PROPERTIES RESOURCE_LOCK "game_ports;rig_pose_block")

# Every fault at once while one game quits and another starts: a game sending impossible values
# and flooding its port, a board sending noise whose line goes away and comes back, and four
# host threads calling every export. The games use their own ports, blocks and process names.
set(e2e_faults_sources
  ${CMAKE_CURRENT_LIST_DIR}/faults_at_once_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/host_threads.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/link_fixture.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/rig_emulator_client.cpp)
if(NOT WIN32)
  tarvelin_add_test(e2e_faults_at_once ${e2e_faults_sources}
    ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/rig_environment_native.cpp)
  target_link_libraries(e2e_faults_at_once PRIVATE tarvelin_rig_emulator tarvelin_telemetry_emulator)
else()
  add_executable(e2e_faults_at_once ${e2e_faults_sources}
    ${CMAKE_CURRENT_SOURCE_DIR}/serial/support/rig_environment_remote.cpp)
  target_link_libraries(e2e_faults_at_once PRIVATE tarvelin_core tarvelin_test_support tarvelin_telemetry_emulator
    GTest::gtest_main GTest::gmock)
  add_dependencies(e2e_faults_at_once rig_emulator_native)
  add_test(NAME e2e_faults_at_once
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/serial/wine_rig_link.sh
      ${TARVELIN_NATIVE_RIG_EMULATOR} ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh
      ${CMAKE_BINARY_DIR}/wineprefix-e2e-faults ${CMAKE_CURRENT_BINARY_DIR}/e2e-faults-bench
      $<TARGET_FILE:e2e_faults_at_once>)
  set_tests_properties(e2e_faults_at_once PROPERTIES TIMEOUT 900)
endif()
set_tests_properties(e2e_faults_at_once PROPERTIES RESOURCE_LOCK "game_ports;rig_pose_block")
