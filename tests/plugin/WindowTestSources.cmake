# What a test binary needs to run the main window in-process on the desktop host: the
# window's, the browser's, the engine's, the overlay windows', the interfaces file's and
# the command channel's sources, compiled in directly, and the shared test harness.
# Included by tests/plugin and tests/browser.
file(GLOB OXLE_WINDOW_TEST_SOURCES
  ${CMAKE_SOURCE_DIR}/plugin/*.cpp
  ${CMAKE_SOURCE_DIR}/browser/*.cpp
  ${CMAKE_SOURCE_DIR}/engine/*.cpp
  ${CMAKE_SOURCE_DIR}/windows/*.cpp
  ${CMAKE_SOURCE_DIR}/netconf/*.cpp
  ${CMAKE_SOURCE_DIR}/net/*.cpp)
list(APPEND OXLE_WINDOW_TEST_SOURCES ${CMAKE_SOURCE_DIR}/tests/plugin/OxleTestHost.cpp)
set(OXLE_WINDOW_TEST_INCLUDES
  ${CMAKE_SOURCE_DIR}/plugin ${CMAKE_SOURCE_DIR}/browser ${CMAKE_SOURCE_DIR}/engine ${CMAKE_SOURCE_DIR}/windows
  ${CMAKE_SOURCE_DIR}/netconf ${CMAKE_SOURCE_DIR}/net ${CMAKE_SOURCE_DIR}/tests/plugin)
