# The long run: the console's demo under watch for its heap and handles, then the engine's
# thread and the rig link started and stopped through the exports (scripts/long-run.sh runs it
# for an hour). It needs the built-in rig controller on a pseudo-terminal and /proc, so it is
# built where the system has them; ctest runs a short version.
if(NOT WIN32)
  add_executable(long_run ${CMAKE_CURRENT_LIST_DIR}/long_run.cpp)
  target_link_libraries(long_run PRIVATE tarvelin_console_core)
  add_dependencies(long_run tarvelin_motion tarvelin_console)
  # Its short version watches the heap, so it runs where AddressSanitizer counts it.
  if(TARVELIN_SANITIZE MATCHES "address")
    add_test(NAME long_run_short COMMAND long_run --seconds 20 --sample 5 --cycles 50)
    set_tests_properties(long_run_short PROPERTIES TIMEOUT 600 RUN_SERIAL ON
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
      ENVIRONMENT "XDG_DATA_HOME=${TARVELIN_TEST_DATA_HOME}/long_run_short")
  endif()
endif()
