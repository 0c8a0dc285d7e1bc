# Draws every plot of docs/filters/plots.list with the filter plot tool into a folder.
#   cmake -DTOOL=<tarvelin_filter_plot> -DLIST=<plots.list> -DOUT=<folder> [-DCOMPARE=<folder>]
#         -P draw_plots.cmake
# With COMPARE, fails when a picture differs from the one of the same name there.

cmake_minimum_required(VERSION 3.25)

# Filter strings hold ';', CMake's list separator: it stands in as '%' while lines are split.
file(READ "${LIST}" text)
string(REPLACE ";" "%" text "${text}")
string(REPLACE "\n" ";" lines "${text}")
file(MAKE_DIRECTORY "${OUT}")
set(stale "")
foreach(line IN LISTS lines)
  if(line MATCHES "^#" OR line STREQUAL "")
    continue()
  endif()
  string(REPLACE "|" ";" fields "${line}")
  list(GET fields 0 name)
  list(GET fields 1 filter)
  list(GET fields 2 steps)
  list(GET fields 3 cycles)
  string(REPLACE "%" ";" filter "${filter}")
  execute_process(COMMAND "${TOOL}" "${filter}" "${OUT}/${name}.svg" --cycles ${cycles} --steps ${steps}
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot draw ${name}: ${filter}")
  endif()
  if(DEFINED COMPARE)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}/${name}.svg" "${COMPARE}/${name}.svg"
      RESULT_VARIABLE different)
    if(different)
      list(APPEND stale ${name})
    endif()
  endif()
endforeach()
if(stale)
  message(FATAL_ERROR "the plots of docs/filters.md no longer show what the filters do: ${stale} "
                      "(draw them again: cmake --build --preset native --target filter_plots)")
endif()
