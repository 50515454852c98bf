# voicecore: the portable part of the voice library (wire formats, receive ordering store, playback
# backlog trim).
# Built in every tree: natively for its tests and fuzz targets, and into the Windows library.
add_library(voicecore STATIC
  ${CMAKE_CURRENT_LIST_DIR}/wire.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sortdata.cpp
  ${CMAKE_CURRENT_LIST_DIR}/backlog.cpp)
target_include_directories(voicecore PUBLIC ${CMAKE_SOURCE_DIR})
