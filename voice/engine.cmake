# vocalis.dll: the exported talk interface, the voice engine, its sockets and the load sequence.
# The win32 tree copies the DLL, its import library and the public header vocalis.h into dist/.
set(st_engine_dir ${CMAKE_CURRENT_LIST_DIR})
if(NOT (TARGET voicecore AND TARGET vocalis_audio AND TARGET g729))
  return()
endif()
# The engine's objects are shared by the DLL and the Windows-hosted engine tests.
add_library(vocalisengine OBJECT
  ${st_engine_dir}/talkinterface.cpp
  ${st_engine_dir}/engine.cpp
  ${st_engine_dir}/udpsock.cpp
  ${st_engine_dir}/ctrlsock.cpp)
target_include_directories(vocalisengine PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(vocalisengine PUBLIC VOCALIS_EXPORTS)
target_link_libraries(vocalisengine PUBLIC vocalis_audio voicecore g729 framework ws2_32 winmm user32)

add_library(vocalis SHARED
  ${st_engine_dir}/vocalisapp.cpp
  ${st_engine_dir}/vocalis.rc)
set_target_properties(vocalis PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
target_include_directories(vocalis INTERFACE ${CMAKE_SOURCE_DIR})
target_compile_definitions(vocalis PRIVATE VOCALIS_EXPORTS)
target_compile_options(vocalis PRIVATE $<$<COMPILE_LANGUAGE:RC>:-c65001>)
target_link_libraries(vocalis PRIVATE vocalisengine)  # brings the engine's objects in
st_dist(vocalis DESCRIPTION "Qelvo 语音对讲库")
if(ST_DIST_DIR)
  add_custom_command(TARGET vocalis POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_LINKER_FILE:vocalis> ${ST_DIST_DIR}/
    COMMAND ${CMAKE_COMMAND} -E copy ${st_engine_dir}/vocalis.h ${ST_DIST_DIR}/)
endif()
