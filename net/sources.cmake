# The command channel's part of the plugin.
list(APPEND OXLE_PLUGIN_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/eTCP.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eTCPWire.cpp)
