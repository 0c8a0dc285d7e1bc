# Sources of src/filters.
target_sources(tarvelin_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/filter_parser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/filter_sys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/filter_type.cpp
  ${CMAKE_CURRENT_LIST_DIR}/motion_profil.cpp
  ${CMAKE_CURRENT_LIST_DIR}/noise_layer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rollover.cpp)
