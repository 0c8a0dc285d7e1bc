# Tests of the exported interface as the built libraries show it.
if(WIN32)
  find_program(TARVELIN_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
  find_program(TARVELIN_CXXFILT NAMES x86_64-w64-mingw32-c++filt c++filt REQUIRED)
  set(export_format pe)
  set(TARVELIN_NM nm)
else()
  find_program(TARVELIN_NM NAMES nm REQUIRED)
  find_program(TARVELIN_CXXFILT NAMES c++filt REQUIRED)
  set(export_format elf)
  set(TARVELIN_OBJDUMP objdump)
endif()
add_test(NAME export_check
  COMMAND ${CMAKE_COMMAND}
    -DLIBRARY=$<TARGET_FILE:tarvelin_motion>
    -DFORMAT=${export_format}
    -DLIST=${CMAKE_CURRENT_LIST_DIR}/exported_names.txt
    -DOBJDUMP=${TARVELIN_OBJDUMP} -DNM=${TARVELIN_NM} -DCXXFILT=${TARVELIN_CXXFILT}
    -P ${CMAKE_CURRENT_LIST_DIR}/check_exports.cmake)

# A C program that includes the public header and calls exports: the header must stay valid C
# and match what the library exports.
add_executable(c_host_example ${CMAKE_CURRENT_LIST_DIR}/c_host_example.c)
target_link_libraries(c_host_example PRIVATE tarvelin_motion)
target_include_directories(c_host_example PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_compile_options(c_host_example PRIVATE -std=c11 -Wall -Wextra -Wpedantic -Werror)
add_test(NAME c_host_example COMMAND c_host_example)
