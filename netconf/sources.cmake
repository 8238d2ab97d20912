# The reader and writer of the box's network configuration file.
list(APPEND OXLE_PLUGIN_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/InterfacesSyntax.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InterfacesReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InterfacesWriter.cpp)
