# Tests of src/log.
tarvelin_add_test(error_log_test
  ${CMAKE_CURRENT_LIST_DIR}/error_log_test.cpp)
