# The playback engine's part of the plugin.
list(APPEND OXLE_PLUGIN_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEEngine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEEngineStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgressDisplay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StreamRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StreamThreads.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StreamTimings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TsPidScan.cpp)
