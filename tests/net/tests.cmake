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

# The link end to end across network namespaces of the test's own (tests/net/rig_network.sh),
# against the native emulator's board; skipped, with the reason, where namespaces cannot be
# made. The same namespace names never reach another run: the script keeps them private.
if(WIN32)
  set(udp_network_emulator ${TARVELIN_NATIVE_RIG_EMULATOR})
  set(udp_network_prefix ${CMAKE_BINARY_DIR}/wineprefix-udp-network)
  set(udp_network_runner --wine-prefix ${udp_network_prefix})
  set(udp_network_program sh ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh ${udp_network_prefix})
else()
  set(udp_network_emulator $<TARGET_FILE:rig_emulator>)
  set(udp_network_runner "")
  set(udp_network_program "")
endif()
add_executable(udp_network_tests ${CMAKE_CURRENT_LIST_DIR}/udp_network_test.cpp ${udp_link_support})
target_link_libraries(udp_network_tests PRIVATE tarvelin_link_test_support GTest::gtest_main)
target_include_directories(udp_network_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/rig_emulator)
if(WIN32)
  add_dependencies(udp_network_tests rig_emulator_native)
endif()
set(rig_network sh ${CMAKE_CURRENT_LIST_DIR}/rig_network.sh ${udp_network_runner})
add_test(NAME udp_network_tests
  COMMAND ${rig_network} ${udp_network_emulator} ${CMAKE_CURRENT_BINARY_DIR}/udp-network
    ${udp_network_program} $<TARGET_FILE:udp_network_tests> --gtest_filter=-*WithoutAnEthernetAdapter*)
add_test(NAME udp_network_tests_no_adapter
  COMMAND ${rig_network} --loopback-only none ${CMAKE_CURRENT_BINARY_DIR}/udp-network-no-adapter
    ${udp_network_program} $<TARGET_FILE:udp_network_tests> --gtest_filter=*WithoutAnEthernetAdapter*)
set_tests_properties(udp_network_tests udp_network_tests_no_adapter PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600
  ENVIRONMENT "XDG_DATA_HOME=${TARVELIN_TEST_DATA_HOME}/udp_network_tests")
# One prefix (Wine) and one log for both: never at the same time.
set_tests_properties(udp_network_tests udp_network_tests_no_adapter PROPERTIES RESOURCE_LOCK udp_network)
