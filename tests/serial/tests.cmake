# Tests of src/serial.

# The frame protocol and the queues: pure code, the same test in every build.
tarvelin_add_test(serial_protocol_tests ${CMAKE_CURRENT_LIST_DIR}/protocol_test.cpp)

# The link against emulated boards.
tarvelin_add_rig_test(rig_link_tests
  ${CMAKE_CURRENT_LIST_DIR}/rig_link_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial_port_layer_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wind_serial_test.cpp)
# The flood test bounds the longest silence between motion frames; beside other tests' engines,
# which spin out their periods at raised priority, a 2-core machine would stall it instead.
set_tests_properties(rig_link_tests PROPERTIES RUN_SERIAL ON)
if(NOT WIN32)
  tarvelin_add_test(posix_com_ports_tests ${CMAKE_CURRENT_LIST_DIR}/posix_com_ports_test.cpp)
endif()
