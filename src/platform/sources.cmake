# Sources of src/platform: the contracts are the headers beside this file, each implemented
# once per platform; what all platforms share sits beside the headers.
target_sources(tarvelin_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/shared_memory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/utf8.cpp)
if(WIN32)
  target_sources(tarvelin_objects PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/win32/app_data.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/clock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/module_lifetime.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/named_event.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/network_adapters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/process_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/realtime.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/shared_memory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/simconnect.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/socket.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/wake_event.cpp)
else()
  target_sources(tarvelin_objects PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/posix/app_data.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/clock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/module_lifetime.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/named_event.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/network_adapters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/process_list.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/realtime.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/shared_memory.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/simconnect.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/socket.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/object_name.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/wake_event.cpp)
endif()

# Serial ports and the thread's last system error (the rig link and the fan controller).
if(WIN32)
  target_sources(tarvelin_objects PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/win32/serial_port.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/system_error.cpp)
else()
  target_sources(tarvelin_objects PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/posix/com_ports.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/serial_line_speed.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/serial_port.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/system_error.cpp)
endif()

# Run-time loading of a shared library, the terminal, the capture of the standard streams and
# the places of COM ports, for the host tools (not part of the engine itself).
add_library(tarvelin_platform_loader STATIC)
if(WIN32)
  target_sources(tarvelin_platform_loader PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win32/dynamic_library.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/terminal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/stream_capture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/com_port_names.cpp)
else()
  target_sources(tarvelin_platform_loader PRIVATE ${CMAKE_CURRENT_LIST_DIR}/posix/dynamic_library.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/terminal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/stream_capture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/com_port_names.cpp)
  # The places of COM ports are the library's own links (posix/com_ports.h).
  target_link_libraries(tarvelin_platform_loader PUBLIC ${CMAKE_DL_LIBS} PRIVATE tarvelin_core)
endif()
# Starting child processes and the server side of TCP, for tests and tools that play a game:
# the engine needs neither, so they stay out of the library as well.
if(WIN32)
  target_sources(tarvelin_platform_loader PRIVATE ${CMAKE_CURRENT_LIST_DIR}/win32/child_process.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win32/socket_server.cpp)
  target_link_libraries(tarvelin_platform_loader PUBLIC ws2_32)
else()
  target_sources(tarvelin_platform_loader PRIVATE ${CMAKE_CURRENT_LIST_DIR}/posix/child_process.cpp
    ${CMAKE_CURRENT_LIST_DIR}/posix/socket_server.cpp)
endif()
target_include_directories(tarvelin_platform_loader PUBLIC ${CMAKE_CURRENT_LIST_DIR}/.. ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(tarvelin_platform_loader PRIVATE tarvelin_options)
