# voicecore: the portable part of the voice library (wire formats, receive ordering store, playback
# backlog trim, playout on the device's clock, the reset of a device written while starting).
# Built in every tree: natively for its tests and fuzz targets, and into the Windows library.
add_library(voicecore STATIC
  ${CMAKE_CURRENT_LIST_DIR}/wire.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sortdata.cpp
  ${CMAKE_CURRENT_LIST_DIR}/backlog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/devicestart.cpp
  ${CMAKE_CURRENT_LIST_DIR}/playout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/receiver.cpp)
target_include_directories(voicecore PUBLIC ${CMAKE_SOURCE_DIR})
