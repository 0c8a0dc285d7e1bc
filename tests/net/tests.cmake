# Tests of src/net.
tarvelin_add_test(udp_endpoint_test
  ${CMAKE_CURRENT_LIST_DIR}/udp_endpoint_test.cpp)

# The rig link over UDP. The boards' side of the wire comes from the rig controller emulator,
# whose frame builders are portable and compiled in here for both builds.
set(udp_link_support
  ${CMAKE_CURRENT_LIST_DIR}/support/udp_link_fixture.cpp
  ${PROJECT_SOURCE_DIR}/tools/rig_emulator/wire.cpp)
tarvelin_add_test(udp_link_tests ${CMAKE_CURRENT_LIST_DIR}/udp_link_test.cpp ${udp_link_support})
target_include_directories(udp_link_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/rig_emulator)
