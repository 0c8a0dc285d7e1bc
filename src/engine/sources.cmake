# Sources of src/engine.
target_sources(tarvelin_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/engine_exports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/filter_explain_export.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_exports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_source_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/motion_engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/motion_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profile_exports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profile_switching.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rig_park.cpp
  ${CMAKE_CURRENT_LIST_DIR}/snapshots.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wind_exports.cpp)
