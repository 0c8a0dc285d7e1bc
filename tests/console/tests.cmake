# Tests of the host console, which reaches the library only through its exports.

# The console's own parts: profile files, command line, live view, CSV rows, the demo's verdict,
# the library's lines and their capture.
tarvelin_add_test(console_parts_tests
  ${CMAKE_CURRENT_LIST_DIR}/profile_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/console_parts_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/library_log_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/page_parts_test.cpp)
target_link_libraries(console_parts_tests PRIVATE tarvelin_console_core)

# tarvelin_console_test(NAME EXIT STATUS ARGS arg... [EXPECT regex...] [REJECT regex]
#                       [WRAPPER command...] [OWN_WINE]): runs the console (under Wine in the
# Windows build, unless the wrapper starts Wine itself) and checks its exit status and output.
# The expressions may not hold ';' or '|'.
function(tarvelin_console_test name)
  cmake_parse_arguments(PARSE_ARGV 1 test "OWN_WINE" "EXIT;REJECT" "ARGS;EXPECT;WRAPPER")
  set(emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
  if(test_OWN_WINE)
    set(emulator "")
  endif()
  set(command ${test_WRAPPER} ${emulator} $<TARGET_FILE:tarvelin_console> ${test_ARGS})
  string(REPLACE ";" "|" command "${command}")
  string(REPLACE ";" "|" expect "${test_EXPECT}")
  set(definitions -DCOMMAND=${command} -DEXIT=${test_EXIT})
  if(test_EXPECT)
    list(APPEND definitions "-DEXPECT=${expect}")
  endif()
  if(test_REJECT)
    list(APPEND definitions "-DREJECT=${test_REJECT}")
  endif()
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} ${definitions} -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run_and_match.cmake)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600
    ENVIRONMENT "XDG_DATA_HOME=${TARVELIN_TEST_DATA_HOME}/${name}")
endfunction()

set(example_profile ${PROJECT_SOURCE_DIR}/profiles/example.profile)
set(bad_profile ${CMAKE_CURRENT_LIST_DIR}/bad.profile)

tarvelin_console_test(console_print EXIT 0 ARGS print
  EXPECT "1 lateral_speed +0\\.0000" "41 simtools_axis4b" "Profile AIR, AIR 100\\.0 %")
tarvelin_console_test(console_missing_library EXIT 1 ARGS --library no-such-library print
  EXPECT "cannot load no-such-library: ")
tarvelin_console_test(console_usage_error EXIT 2 ARGS fly EXPECT "unknown command 'fly'" "usage: ")
tarvelin_console_test(console_check_example EXIT 0 ARGS check ${example_profile}
  EXPECT "example\\.profile: valid \\(24 filter strings, 0 warnings\\)" REJECT "error")
# Every mistake, each at its line: those the file format catches and the filter strings the
# engine rejects, with the engine's reason at its column.
tarvelin_console_test(console_check_bad_profile EXIT 1 ARGS check ${bad_profile}
  EXPECT "bad\\.profile:4:20: error: \\[air\\] longitudinal: the engine rejects the filter string 'GAIN\\(EMALP\\(VALUE.10\\)': this '\\(' is never closed"
         "bad\\.profile:5:12: error: \\[air\\] vertical: the engine rejects the filter string 'LOWPASS\\(VALUE.5\\)': unknown filter name 'LOWPASS'"
         "bad\\.profile:6: error: unknown slot 'sideways'"
         "bad\\.profile:9: error: the low limit is above the high limit"
         "bad\\.profile:12: error: port is auto or COMn"
         "bad\\.profile:3: warning: no rig limit for lateral"
         "bad\\.profile: INVALID")
tarvelin_console_test(console_check_missing_profile EXIT 1 ARGS check no-such.profile
  EXPECT "cannot read the profile no-such\\.profile")
# Where the missing port would be and how to link a board there: on Linux the library's own
# links, under Wine the prefix's (the native case runs on a terminal in console_terminal_test).
if(WIN32)
  set(missing_port_place "Under Wine, COM250 is the device that the link [^ ]+/dosdevices/com250 points to"
      "ln -s /dev/ttyACM0 [^ ]+/dosdevices/com250")
else()
  set(missing_port_place "On Linux, COM250 is the device that the link")
endif()
tarvelin_console_test(console_run_missing_port EXIT 1 ARGS run ${example_profile} --port COM250
  EXPECT "the rig port COM250 does not exist" ${missing_port_place})
tarvelin_console_test(console_run_bad_profile EXIT 1 ARGS run ${bad_profile} --port COM250
  EXPECT "bad\\.profile:6: error: unknown slot 'sideways'" REJECT "connecting")

# The demo end to end: telemetry emulator, engine, rig link, rig controller emulator. It binds
# the game's fixed port, so it runs in a network namespace of its own where the system allows
# and takes the lock of the tests that bind game ports.
set(private_network sh ${CMAKE_CURRENT_LIST_DIR}/private_network.sh)
if(NOT WIN32)
  tarvelin_console_test(console_demo EXIT 0 WRAPPER ${private_network}
    ARGS demo --seconds 5 --record ${CMAKE_CURRENT_BINARY_DIR}/console_demo.csv
    EXPECT "game +BeamNG" "frames sent +[1-9][0-9]+" "with a good check field, 0 bad"
           "the road of the frame is whole")
  set_tests_properties(console_demo PROPERTIES RESOURCE_LOCK game_ports)

  # The demo over the network link: the example profile with transport = udp, the engine and
  # a built-in board on the network in a namespace of the test's own with a veth for multicast.
  file(READ ${example_profile} example_text)
  string(REPLACE "\nport = auto" "\ntransport = udp" udp_text "${example_text}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/udp.profile "${udp_text}")
  tarvelin_console_test(console_demo_udp EXIT 0
    WRAPPER sh ${PROJECT_SOURCE_DIR}/tests/net/rig_network.sh none ${CMAKE_CURRENT_BINARY_DIR}/console-demo-udp
    ARGS demo --seconds 5 --profile ${CMAKE_CURRENT_BINARY_DIR}/udp.profile
    EXPECT "rig link over UDP: frames to the group 232\\.11\\.12\\.14:51324" "game +BeamNG"
           "rig link +connected over UDP to 232\\.11\\.12\\.14" "with a good check field, 0 bad"
           "the road of the frame is whole")
  set_tests_properties(console_demo_udp PROPERTIES RESOURCE_LOCK game_ports SKIP_REGULAR_EXPRESSION "SKIPPED: ")

  # The sessions in-process with boards this test can read: the CSV against the rig's frames,
  # the link coming back, run's orderly stop.
  add_executable(console_session_test ${CMAKE_CURRENT_LIST_DIR}/console_session_test.cpp)
  target_link_libraries(console_session_test PRIVATE tarvelin_console_core tarvelin_test_support GTest::gtest_main)
  target_compile_definitions(console_session_test PRIVATE
    TARVELIN_LIBRARY="$<TARGET_FILE:tarvelin_motion>" TARVELIN_EXAMPLE_PROFILE="${example_profile}")
  add_dependencies(console_session_test tarvelin_motion)
  # One process per test: the engine keeps the game's port once it has found the game.
  foreach(case ConsoleDemo.RecordsEveryCycleThatReachedTheRig ConsoleDemo.ConnectsAgainWhenTheBoardComesBack
               ConsoleRun.StopsTheRigAndThenTheFanWithItsZeroByte)
    add_test(NAME console_session_test.${case}
      COMMAND ${private_network} $<TARGET_FILE:console_session_test> --gtest_filter=${case})
    set_tests_properties(console_session_test.${case} PROPERTIES RESOURCE_LOCK game_ports TIMEOUT 600
      ENVIRONMENT "XDG_DATA_HOME=${TARVELIN_TEST_DATA_HOME}/console_session_test.${case}")
  endforeach()

  # The console on a pseudo-terminal, as a rig owner runs it: its exit status and its screen.
  add_executable(console_terminal_test ${CMAKE_CURRENT_LIST_DIR}/console_terminal_test.cpp)
  target_link_libraries(console_terminal_test PRIVATE tarvelin_console_core tarvelin_test_support GTest::gtest_main)
  target_compile_definitions(console_terminal_test PRIVATE TARVELIN_CONSOLE="$<TARGET_FILE:tarvelin_console>"
    TARVELIN_LIBRARY="$<TARGET_FILE:tarvelin_motion>" TARVELIN_EXAMPLE_PROFILE="${example_profile}")
  add_dependencies(console_terminal_test tarvelin_console)
  add_test(NAME console_terminal_test COMMAND ${private_network} $<TARGET_FILE:console_terminal_test>)
  set_tests_properties(console_terminal_test PROPERTIES RESOURCE_LOCK game_ports TIMEOUT 600
    ENVIRONMENT "XDG_DATA_HOME=${TARVELIN_TEST_DATA_HOME}/console_terminal_test")

  # The e-stop as a user gives it: the console on a pseudo-terminal, stopped by a key or Ctrl-C.
  foreach(stop space esc ctrl-c ctrl-c-twice)
    add_test(NAME console_estop_${stop}
      COMMAND ${private_network} sh ${CMAKE_CURRENT_LIST_DIR}/estop_on_pty.sh ${stop}
        ${CMAKE_CURRENT_BINARY_DIR}/console-estop-${stop} $<TARGET_FILE:tarvelin_console> demo --seconds 120)
    set_tests_properties(console_estop_${stop} PROPERTIES RESOURCE_LOCK game_ports TIMEOUT 300
      ENVIRONMENT "XDG_DATA_HOME=${TARVELIN_TEST_DATA_HOME}/console_estop_${stop}")
  endforeach()

  find_program(TARVELIN_NM NAMES nm REQUIRED)
  add_test(NAME console_uses_exports_only
    COMMAND ${CMAKE_COMMAND} -DCONSOLE=$<TARGET_FILE:tarvelin_console> -DNM=${TARVELIN_NM}
      -DLIST=${PROJECT_SOURCE_DIR}/tests/exports/exported_names.txt -P ${CMAKE_CURRENT_LIST_DIR}/check_console_imports.cmake)
else()
  # Under Wine the console cannot make a pseudo-terminal: the native emulator program plays the
  # board behind COM5 of a prefix of the console's own, set up as for the rig link's tests.
  tarvelin_console_test(console_demo_wine EXIT 0 OWN_WINE
    WRAPPER ${private_network} sh ${PROJECT_SOURCE_DIR}/tests/serial/wine_rig_link.sh
      ${TARVELIN_NATIVE_RIG_EMULATOR} ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh
      ${CMAKE_BINARY_DIR}/wineprefix-console-demo ${CMAKE_CURRENT_BINARY_DIR}/console-demo-bench
    ARGS demo --seconds 8 --rig-port COM5
    EXPECT "game +BeamNG" "frames sent +[1-9][0-9]+" "with a good check field, 0 bad"
           "the road of the frame is whole" "library: opened\\.\\.\\.\\.id correct\\."
    REJECT "[^ ]opened\\.\\.")
  set_tests_properties(console_demo_wine PROPERTIES RESOURCE_LOCK game_ports)
  # The e-stop on a pseudo-terminal, the console under Wine and the rig emulator beside it. The
  # two share a Wine prefix of their own, one at a time.
  foreach(stop esc ctrl-c-twice)
    add_test(NAME console_estop_${stop}_wine
      COMMAND ${private_network} sh ${PROJECT_SOURCE_DIR}/tests/serial/wine_rig_link.sh
        ${TARVELIN_NATIVE_RIG_EMULATOR} ${CMAKE_CURRENT_LIST_DIR}/wine_run_on_pty.sh
        ${CMAKE_BINARY_DIR}/wineprefix-console-estop ${CMAKE_CURRENT_BINARY_DIR}/console-estop-bench-${stop}
        $<TARGET_FILE:tarvelin_console> demo --seconds 120 --rig-port COM5)
    set_tests_properties(console_estop_${stop}_wine PROPERTIES RESOURCE_LOCK "game_ports;wineprefix_console_estop"
      TIMEOUT 600 ENVIRONMENT "TARVELIN_ESTOP=${stop} ${CMAKE_CURRENT_BINARY_DIR}/console-estop-${stop}")
  endforeach()
  add_dependencies(console_parts_tests rig_emulator_native)
endif()
