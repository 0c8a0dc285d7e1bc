# Sources of src/net.
target_sources(tarvelin_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/udp_endpoint.cpp)
