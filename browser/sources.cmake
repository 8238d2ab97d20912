set(OXLE_BROWSER_FOLDER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PLAYLIST.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parseXml.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ListDocument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eListBoxEntryOXLE.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEListing.cpp)
# host/sigc.h's SigC::Object (a virtual base with a defaulted move assignment) trips
# this GCC warning in every unit that includes a widget header.
set_source_files_properties(${OXLE_BROWSER_FOLDER_SOURCES} PROPERTIES COMPILE_OPTIONS -Wno-virtual-move-assign)
list(APPEND OXLE_PLUGIN_SOURCES ${OXLE_BROWSER_FOLDER_SOURCES})
