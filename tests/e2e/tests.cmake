# End to end: the telemetry emulator, the engine, the rig link and the rig controller emulator,
# all real. Each test uses the games' own ports, blocks and process names and the rig pose
# block's fixed name, so it takes the locks of the other tests that use them.

# BeamNG through the filters, limits and park to the rig, and the lower-latency mode.
tarvelin_add_rig_test(e2e_beamng_to_rig
  ${CMAKE_CURRENT_LIST_DIR}/beamng_to_rig_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/low_latency_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/motion_model.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rig_safety_test.cpp)

# Every emulated game through the engine to the rig. The Flight Simulators play in the test's
# own process, behind the client library that emulated_simconnect.cpp links in.
tarvelin_add_rig_test(e2e_games_to_rig
  ${CMAKE_CURRENT_LIST_DIR}/game_to_rig_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_cases.cpp
  ${CMAKE_CURRENT_LIST_DIR}/emulated_simconnect.cpp)

# Every fault at once while one game quits and another starts: a game sending impossible values
# and flooding its port, a board sending noise whose line goes away and comes back, and four
# host threads calling every export.
tarvelin_add_rig_test(e2e_faults_at_once
  ${CMAKE_CURRENT_LIST_DIR}/faults_at_once_test.cpp)

foreach(test e2e_beamng_to_rig e2e_games_to_rig e2e_faults_at_once)
  target_link_libraries(${test} PRIVATE tarvelin_telemetry_emulator)
  set_tests_properties(${test} PROPERTIES RESOURCE_LOCK "game_ports;rig_pose_block")
endforeach()
