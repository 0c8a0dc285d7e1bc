# Tests of src/engine.
tarvelin_add_test(engine_record_test
  ${CMAKE_CURRENT_LIST_DIR}/engine_record_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rig_frame_store_test.cpp)
# A program of its own, so that its two threads really make the engine's first call.
tarvelin_add_test(engine_first_use_test
  ${CMAKE_CURRENT_LIST_DIR}/engine_first_use_test.cpp)
tarvelin_add_test(frame_timer_test
  ${CMAKE_CURRENT_LIST_DIR}/frame_timer_test.cpp)
tarvelin_add_test(engine_cycle_test
  ${CMAKE_CURRENT_LIST_DIR}/engine_cycle_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/motion_output_test.cpp)
tarvelin_add_test(engine_thread_test
  ${CMAKE_CURRENT_LIST_DIR}/engine_thread_test.cpp)
target_link_libraries(engine_thread_test PRIVATE tarvelin_link_test_support tarvelin_telemetry_emulator)
# A program of its own: it replaces the global allocator to count the cycle's allocations.
tarvelin_add_test(cycle_allocation_test
  ${CMAKE_CURRENT_LIST_DIR}/cycle_allocation_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../support/allocation_counter.cpp)
target_link_libraries(cycle_allocation_test PRIVATE tarvelin_telemetry_emulator)
# A program of its own: the engine must create the rig pose block itself.
tarvelin_add_test(rig_pose_block_test
  ${CMAKE_CURRENT_LIST_DIR}/rig_pose_block_test.cpp)
# These write the rig pose block, whose name is fixed; so does the end-to-end test.
set_tests_properties(engine_cycle_test cycle_allocation_test PROPERTIES RESOURCE_LOCK rig_pose_block)
# Its restart of the engine's thread also scans the games' ports.
set_tests_properties(rig_pose_block_test PROPERTIES RESOURCE_LOCK "game_ports;rig_pose_block")
# The running engine also scans the games' ports, which the detection tests bind.
set_tests_properties(engine_thread_test PROPERTIES RESOURCE_LOCK "game_ports;rig_pose_block")

add_executable(teardown_host ${CMAKE_CURRENT_LIST_DIR}/teardown_host.cpp)
target_link_libraries(teardown_host PRIVATE tarvelin_platform_loader tarvelin_options)
add_dependencies(teardown_host tarvelin_motion)
foreach(way unload exit)
  add_test(NAME engine_teardown_${way} COMMAND teardown_host $<TARGET_FILE:tarvelin_motion> ${way})
  set_tests_properties(engine_teardown_${way} PROPERTIES TIMEOUT 30 RESOURCE_LOCK "game_ports;rig_pose_block")
endforeach()
