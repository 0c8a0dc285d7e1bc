# Runs one command and checks its exit status and output, for the console's end-to-end tests.
#   cmake -DCOMMAND=prog|arg|... -DEXIT=N [-DEXPECT=regex|regex|...] [-DREJECT=regex] -P run_and_match.cmake
# Arguments and expressions are separated by '|' (ctest would split a ';' list). Every EXPECT
# expression must match the output (standard output and error together), REJECT must not.
string(REPLACE "|" ";" command "${COMMAND}")
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
set(all "${output}${errors}")
message("${all}")
if(NOT "${status}" STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit status ${status}, expected ${EXIT}")
endif()
if(DEFINED EXPECT)
  string(REPLACE "|" ";" expressions "${EXPECT}")
  foreach(expression IN LISTS expressions)
    if(NOT all MATCHES "${expression}")
      message(FATAL_ERROR "the output does not match: ${expression}")
    endif()
  endforeach()
endif()
if(DEFINED REJECT AND all MATCHES "${REJECT}")
  message(FATAL_ERROR "the output matches what it must not: ${REJECT}")
endif()
