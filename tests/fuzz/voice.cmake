# The voice core's parsers of outside input: the control stream as the control socket reads it,
# and sequences of datagrams through the receive ordering store and the device-clock playout.
st_add_fuzz(voice_control SOURCES ${CMAKE_CURRENT_LIST_DIR}/voice_control_fuzz.cpp LIBS voicecore)
st_add_fuzz(voice_sortdata SOURCES ${CMAKE_CURRENT_LIST_DIR}/voice_sortdata_fuzz.cpp LIBS voicecore)
st_add_fuzz(voice_playout SOURCES ${CMAKE_CURRENT_LIST_DIR}/voice_playout_fuzz.cpp LIBS voicecore)
