# Win32 wave capture and playback, the log hook and the library lock (library `vocalis_audio`).
# Linked into the vocalis DLL. VOCALIS_EXPORTS is the library's own build (vocalis.h then
# declares its interface dllexport): it goes to everything built on these objects, so that
# SetLogInfoFuncA/W are exported under their plain names wherever loghook.cpp's object is
# linked in, and the engine and the test programs see the same declarations.
set(st_audio_dir ${CMAKE_CURRENT_LIST_DIR})
add_library(vocalis_audio STATIC
  ${st_audio_dir}/wavein.cpp
  ${st_audio_dir}/waveout.cpp
  ${st_audio_dir}/wavedev.cpp
  ${st_audio_dir}/loghook.cpp
  ${st_audio_dir}/liblock.cpp)
target_include_directories(vocalis_audio PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(vocalis_audio PUBLIC VOCALIS_EXPORTS)
target_link_libraries(vocalis_audio PUBLIC framework voicecore winmm)
# The two Chinese log lines are code page 936 narrow strings.
set_source_files_properties(${st_audio_dir}/wavein.cpp ${st_audio_dir}/waveout.cpp
  PROPERTIES COMPILE_OPTIONS -fexec-charset=GBK)
