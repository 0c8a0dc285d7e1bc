# End-to-end runs of the host console, which reaches the library only through its exports.
add_test(NAME console_print COMMAND tarvelin_console print)
set_tests_properties(console_print PROPERTIES
  PASS_REGULAR_EXPRESSION "1 lateral_speed +0\\.0000.*41 simtools_axis4b.*Profile AIR, AIR 100\\.0 %")
add_test(NAME console_missing_library COMMAND tarvelin_console --library no-such-library print)
set_tests_properties(console_missing_library PROPERTIES
  PASS_REGULAR_EXPRESSION "cannot load no-such-library: ")

tarvelin_add_test(profile_file_test ${CMAKE_CURRENT_LIST_DIR}/profile_file_test.cpp)
target_link_libraries(profile_file_test PRIVATE tarvelin_console_core)
