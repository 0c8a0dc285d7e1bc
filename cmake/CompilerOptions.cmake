# Warnings and sanitizers shared by every target of the project.

add_library(tarvelin_options INTERFACE)
target_compile_options(tarvelin_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough)
if(TARVELIN_WARNINGS_AS_ERRORS)
  target_compile_options(tarvelin_options INTERFACE -Werror)
endif()

if(TARVELIN_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "Sanitizers are for native builds only")
  endif()
  set(sanitize_flags -fsanitize=${TARVELIN_SANITIZE} -fno-omit-frame-pointer -g)
  if(TARVELIN_SANITIZE MATCHES "undefined")
    list(APPEND sanitize_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${sanitize_flags})
  add_link_options(${sanitize_flags})
endif()

# Linking takes most of a rebuild of the many test programs, and mold links them several times
# faster than the system's linker, so it is used where it is installed. The Windows build keeps
# mingw-w64's linker, which is the one that makes the DLL.
if(NOT WIN32)
  find_program(TARVELIN_MOLD mold)
  if(TARVELIN_MOLD)
    add_link_options(-fuse-ld=mold)
  endif()
endif()

if(WIN32)
  # The DLL and every test program carry their own C++ runtime, so that the product imports
  # only Windows system DLLs and the tests run under Wine without mingw runtime DLLs beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 UNICODE _UNICODE)
endif()

if(TARVELIN_BUILD_FUZZ)
  # Coverage feedback for libFuzzer in every library source, not only in the fuzz targets.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
