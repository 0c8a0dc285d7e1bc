# Tests of src/games and of the telemetry emulator that plays the games in them.
tarvelin_add_test(games_test
  ${CMAKE_CURRENT_LIST_DIR}/beamng_reader_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drive_script_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nolimits2_and_flight_simulator_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/system_simconnect_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/udp_game_readers_test.cpp)
target_link_libraries(games_test PRIVATE tarvelin_telemetry_emulator)

# Detection runs against the games' real channels: processes named as the games (copies of the
# emulator's stand-in program), shared-memory blocks, and the games' fixed ports. Every test that
# binds one of those ports takes the lock, so that no two of them run at once.
tarvelin_add_test(game_detection_test
  ${CMAKE_CURRENT_LIST_DIR}/game_detection_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_fixtures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/udp_game_detection_test.cpp)
target_link_libraries(game_detection_test PRIVATE tarvelin_telemetry_emulator tarvelin_platform_loader)
set_tests_properties(game_detection_test PROPERTIES RESOURCE_LOCK game_ports)

# iRacing with real blocks, its event and a process under its name; it shares the simulator's
# block name and process with the other game tests and the end-to-end test.
tarvelin_add_test(iracing_test ${CMAKE_CURRENT_LIST_DIR}/iracing_test.cpp)
target_link_libraries(iracing_test PRIVATE tarvelin_telemetry_emulator tarvelin_platform_loader)
set_tests_properties(iracing_test PROPERTIES RESOURCE_LOCK game_ports)

# The shared-memory games through their real blocks and processes under their names; the end-to-end
# table tells what each game's frames must read.
tarvelin_add_test(shared_memory_games_test
  ${CMAKE_CURRENT_LIST_DIR}/shared_memory_games_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/e2e/game_cases.cpp)
target_link_libraries(shared_memory_games_test PRIVATE tarvelin_telemetry_emulator)
set_tests_properties(shared_memory_games_test PROPERTIES RESOURCE_LOCK game_ports)
