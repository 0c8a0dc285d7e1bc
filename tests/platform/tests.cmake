# Contract tests of src/platform: the same tests run against the POSIX and the Win32 backend.
tarvelin_add_test(platform_test
  ${CMAKE_CURRENT_LIST_DIR}/shared_memory_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_list_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_data_test.cpp)
