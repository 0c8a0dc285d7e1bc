# Compares what a built library exports with the checked-in list, and checks what a DLL imports.
#
#   cmake -DLIBRARY=<file> -DFORMAT=pe|elf -DLIST=<exported_names.txt> -DOBJDUMP=<tool>
#         -DNM=<tool> -DCXXFILT=<tool> -P check_exports.cmake
#
# The list holds C names, one per line, and members of the exported class in their qualified
# form ("WindSerial::init"), which are compared with the demangled export names without their
# parameter lists. Lines starting with '#' are comments.

cmake_minimum_required(VERSION 3.25)

file(STRINGS "${LIST}" list_lines)
set(expected "")
foreach(line IN LISTS list_lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  list(APPEND expected "${line}")
endforeach()

set(imports "")
if(FORMAT STREQUAL "pe")
  execute_process(COMMAND ${OBJDUMP} -p "${LIBRARY}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed")
  endif()
  # The export name table follows the line "[Ordinal/Name Pointer] Table"; each entry reads
  # "[   3] name" (binutils 2.40 also prints "+base[...]" lines in the address table before it).
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" table_start)
  if(table_start LESS 0)
    set(names_part "")
  else()
    string(SUBSTRING "${dump}" ${table_start} -1 names_part)
  endif()
  string(REGEX MATCHALL "\n[\t ]+\\[ *[0-9]+\\] [^\n]+" entries "${names_part}")
  set(raw_names "")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^\n[\t ]+\\[ *[0-9]+\\] " "" name "${entry}")
    list(APPEND raw_names "${name}")
  endforeach()
  string(REGEX MATCHALL "DLL Name: [^\n]+" dll_lines "${dump}")
  foreach(line IN LISTS dll_lines)
    string(REGEX REPLACE "DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" dll)
    list(APPEND imports "${dll}")
  endforeach()
elseif(FORMAT STREQUAL "elf")
  execute_process(COMMAND ${NM} -D --defined-only "${LIBRARY}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} -D ${LIBRARY} failed")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${dump}")
  set(raw_names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
    list(APPEND raw_names "${name}")
  endforeach()
else()
  message(FATAL_ERROR "FORMAT must be pe or elf")
endif()

set(problems "")
set(found "")
foreach(name IN LISTS raw_names)
  if(name MATCHES "^_Z")
    execute_process(COMMAND ${CXXFILT} "${name}" OUTPUT_VARIABLE demangled OUTPUT_STRIP_TRAILING_WHITESPACE)
    # Keep the qualified name: drop the parameter list and anything after it.
    string(REGEX REPLACE "\\(.*$" "" qualified "${demangled}")
    if(qualified IN_LIST expected)
      list(APPEND found "${qualified}")
    else()
      list(APPEND problems "mangled or unlisted C++ export: ${name} (${demangled})")
    endif()
  elseif(name IN_LIST expected)
    list(APPEND found "${name}")
  else()
    list(APPEND problems "exported but not listed: ${name}")
  endif()
endforeach()
foreach(name IN LISTS expected)
  if(NOT name IN_LIST found)
    list(APPEND problems "listed but not exported: ${name}")
  endif()
endforeach()

# The DLL carries its own C++ runtime; it may import only DLLs that every Windows has.
set(system_dlls kernel32.dll user32.dll advapi32.dll ws2_32.dll iphlpapi.dll shell32.dll ole32.dll
    oleaut32.dll winmm.dll setupapi.dll msvcrt.dll ntdll.dll bcrypt.dll shlwapi.dll cfgmgr32.dll
    api-ms-win-crt-runtime-l1-1-0.dll)
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST system_dlls)
    list(APPEND problems "imports a DLL that is not part of Windows: ${dll}")
  endif()
endforeach()

list(LENGTH found found_count)
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "Export check of ${LIBRARY} failed:\n  ${text}")
endif()
message(STATUS "${LIBRARY}: ${found_count} exports as listed; imports: ${imports}")
