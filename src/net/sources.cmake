# Sources of src/net.
target_sources(tarvelin_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/adapter_choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ipv4_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/multicast_sender.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rig_datagram_receiver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/udp_endpoint.cpp
  ${CMAKE_CURRENT_LIST_DIR}/udp_link_exports.cpp
  ${CMAKE_CURRENT_LIST_DIR}/udp_link_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/udp_listener.cpp)
