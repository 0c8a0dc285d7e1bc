# Tests of the host console's tuning page, in Node.js: its JSON over plain HTTP, and the page in
# Debian's chromium driven by playwright-core (installed with the page's npm packages). The demo
# binds the game's fixed port, so each runs in a network namespace of its own where the system
# allows and takes the lock of the tests that bind game ports. The Windows console has no page.
# The page in the browser checks the page's own script; under the sanitizers the console's server
# is covered by page_api, and the browser would only take minutes of their slower builds.
if(NOT WIN32)
  find_program(TARVELIN_NODE node REQUIRED)
  set(page_tests page_api)
  if(NOT TARVELIN_SANITIZE)
    list(APPEND page_tests page_browser)
  endif()
  foreach(name ${page_tests})
    add_test(NAME ${name}
      COMMAND sh ${PROJECT_SOURCE_DIR}/tests/console/private_network.sh
              ${TARVELIN_NODE} --test ${CMAKE_CURRENT_LIST_DIR}/${name}.test.mjs)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK game_ports TIMEOUT 300
      ENVIRONMENT "TARVELIN_CONSOLE=$<TARGET_FILE:tarvelin_console>;TARVELIN_PAGE_NPM=${TARVELIN_PAGE_NPM};XDG_DATA_HOME=${TARVELIN_TEST_DATA_HOME}/${name}")
  endforeach()
endif()
