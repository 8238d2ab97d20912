# The overlay windows. Each window adds its sources to this list.
set(OXLE_WINDOWS_FOLDER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/eOXLESettings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLESettingsScan.cpp)
# Infobar, information and help windows, station logos.
list(APPEND OXLE_WINDOWS_FOLDER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/InfobarMath.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LogoConf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLE_FileInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eOXLEStream.cpp)
list(APPEND OXLE_PLUGIN_SOURCES ${OXLE_WINDOWS_FOLDER_SOURCES})
