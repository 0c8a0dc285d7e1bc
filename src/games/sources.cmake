# Sources of src/games: detection and connection, and one reader per game.
target_sources(tarvelin_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/assetto_corsa_evo_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/assetto_corsa_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/beamng_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/condor2_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dcs_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dirt_rally2_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/euro_truck_simulator2_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/f1_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/flight_simulator_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_connection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_detection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_id.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gravity_split.cpp
  ${CMAKE_CURRENT_LIST_DIR}/iracing_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/live_for_speed_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nolimits_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nolimits_messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nolimits_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_check.cpp
  ${CMAKE_CURRENT_LIST_DIR}/project_cars2_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/raceroom_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rfactor2_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_number.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wrc23_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xplane_reader.cpp)
