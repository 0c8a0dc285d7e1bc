# Tests of src/engine.
tarvelin_add_test(engine_record_test
  ${CMAKE_CURRENT_LIST_DIR}/engine_record_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rig_frame_store_test.cpp)
# A program of its own, so that its two threads really make the engine's first call.
tarvelin_add_test(engine_first_use_test
  ${CMAKE_CURRENT_LIST_DIR}/engine_first_use_test.cpp)
tarvelin_add_test(frame_timer_test
  ${CMAKE_CURRENT_LIST_DIR}/frame_timer_test.cpp)
