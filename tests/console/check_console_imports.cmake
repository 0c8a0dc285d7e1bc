# The console must reach the engine only through the library it loads: its own binary may not
# define any of the library's exported functions (a static copy of the engine would).
#   cmake -DCONSOLE=file -DLIST=exported_names.txt -DNM=nm -P check_console_imports.cmake
execute_process(COMMAND ${NM} --defined-only ${CONSOLE} RESULT_VARIABLE status OUTPUT_VARIABLE symbols)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm failed on ${CONSOLE}")
endif()
file(STRINGS ${LIST} names REGEX "^[A-Za-z_][A-Za-z0-9_]*$")
set(found "")
foreach(name IN LISTS names)
  if(symbols MATCHES " [TtWw] ${name}\n")
    list(APPEND found ${name})
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "the console defines exports of the engine: ${found}")
endif()
list(LENGTH names count)
message("none of the ${count} exported functions is defined in the console")
