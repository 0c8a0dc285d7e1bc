# Tests of src/net.
tarvelin_add_test(udp_endpoint_test
  ${CMAKE_CURRENT_LIST_DIR}/udp_endpoint_test.cpp)
