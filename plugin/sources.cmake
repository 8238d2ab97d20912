set(OXLE_PLUGIN_FOLDER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/plugin_exec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/oxleGlobals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BackgroundPicture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TimerListGuard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLE.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEKeys.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEPlayback.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEGuard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEWindows.cpp)
# host/sigc.h's SigC::Object (a virtual base with a defaulted move assignment) trips
# this GCC warning in every unit that includes a widget header.
set_source_files_properties(${OXLE_PLUGIN_FOLDER_SOURCES} PROPERTIES COMPILE_OPTIONS -Wno-virtual-move-assign)
list(APPEND OXLE_PLUGIN_SOURCES ${OXLE_PLUGIN_FOLDER_SOURCES})
