# Sources of src/core: the telemetry record, the frame timer, and the limit and mapping types that
# every subsystem shares.
target_sources(tarvelin_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/frame_timer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/game_data.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rig_axes.cpp)
