# Decoding arbitrary coded blocks: no crash, no NaN or infinity.
st_add_fuzz(codec SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_fuzz.cpp LIBS g729)
