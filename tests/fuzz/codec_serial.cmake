# The g729a tool's reader of serial bitstream files: no crash on any file content, and every
# accepted frame converts to packed bytes and back unchanged.
st_add_fuzz(codec_serial
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/codec_serial_fuzz.cpp ${CMAKE_SOURCE_DIR}/tools/g729a/files.cpp)
target_include_directories(fuzz_codec_serial PRIVATE ${CMAKE_SOURCE_DIR}/tools/g729a ${CMAKE_SOURCE_DIR})
