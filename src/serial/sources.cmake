# Sources of src/serial.
target_sources(tarvelin_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/bridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bridge_exports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bridge_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console.cpp
  ${CMAKE_CURRENT_LIST_DIR}/crc16.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fragment_assembler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frame_parser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/line_framer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_queue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/motion_step_guard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/port_discovery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rig_port.cpp
  ${CMAKE_CURRENT_LIST_DIR}/send_large_or_whole.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial_exception.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wind_serial.cpp)
