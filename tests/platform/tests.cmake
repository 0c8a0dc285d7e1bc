# Contract tests of src/platform: the same tests run against the POSIX and the Win32 backend.
tarvelin_add_test(platform_test
  ${CMAKE_CURRENT_LIST_DIR}/shared_memory_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/utf8_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_list_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/app_data_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/named_event_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wake_event_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/child_process_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/socket_server_test.cpp)
# Child processes and the server side of TCP come from the tools' part of the platform layer;
# the child is the games' idle stub program.
target_link_libraries(platform_test PRIVATE tarvelin_platform_loader)
target_compile_definitions(platform_test PRIVATE TARVELIN_IDLE_PROGRAM="$<TARGET_FILE:tarvelin_game_stand_in>")
add_dependencies(platform_test tarvelin_game_stand_in)
