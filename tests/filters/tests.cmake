# Tests of src/filters.
tarvelin_add_test(filter_runtime_test
  ${CMAKE_CURRENT_LIST_DIR}/filter_runtime_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rollover_test.cpp)
tarvelin_add_test(filter_parser_test
  ${CMAKE_CURRENT_LIST_DIR}/filter_parser_test.cpp)
tarvelin_add_test(filter_profile_test
  ${CMAKE_CURRENT_LIST_DIR}/motion_profil_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profile_exports_test.cpp)
tarvelin_add_test(filter_exchange_test
  ${CMAKE_CURRENT_LIST_DIR}/chain_exchange_test.cpp)
# A program of its own: it replaces the global allocator to count allocations.
tarvelin_add_test(filter_allocation_test
  ${CMAKE_CURRENT_LIST_DIR}/filter_allocation_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../support/allocation_counter.cpp)
