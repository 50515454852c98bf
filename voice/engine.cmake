# vocalis.dll: the exported talk interface, the voice engine, its sockets and the load sequence.
# Beside the DLL each tree makes two import libraries: libvocalis.dll.a for MinGW clients and
# vocalis.lib for MSVC clients. A tree with a dist folder (win32: dist/, win64: dist/x64/) copies
# the DLL, both import libraries and the public header vocalis.h there.
set(st_engine_dir ${CMAKE_CURRENT_LIST_DIR})
# The engine's objects are shared by the DLL and the Windows-hosted engine tests.
add_library(vocalisengine OBJECT
  ${st_engine_dir}/talkinterface.cpp
  ${st_engine_dir}/engine.cpp
  ${st_engine_dir}/engineuse.cpp
  ${st_engine_dir}/udpsock.cpp
  ${st_engine_dir}/ctrlsock.cpp)
target_include_directories(vocalisengine PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(vocalisengine PUBLIC vocalis_audio voicecore g729 framework ws2_32 winmm user32)

# msvcabi.cpp and its .def add the MSVC C++ names of the talk interface beside GCC's.
add_library(vocalis SHARED
  ${st_engine_dir}/vocalisapp.cpp
  ${st_engine_dir}/msvcabi.cpp
  ${st_engine_dir}/msvcabi-${CMAKE_SYSTEM_PROCESSOR}.def
  ${st_engine_dir}/vocalis.rc)
set_target_properties(vocalis PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
target_include_directories(vocalis INTERFACE ${CMAKE_SOURCE_DIR})
target_compile_options(vocalis PRIVATE $<$<COMPILE_LANGUAGE:RC>:-c65001>)
target_link_libraries(vocalis PRIVATE vocalisengine)  # brings the engine's objects in

# vocalis.lib: the linker writes the DLL's whole export list, llvm-dlltool turns it into the
# import library an MSVC linker reads.
find_program(ST_LLVM_DLLTOOL llvm-dlltool REQUIRED)
if(ST_IS_WIN32)
  set(st_implib_machine i386)
else()
  set(st_implib_machine i386:x86-64)
endif()
set(st_vocalis_bin $<TARGET_FILE_DIR:vocalis>)
target_link_options(vocalis PRIVATE -Wl,--output-def,${st_vocalis_bin}/vocalis.def)
add_custom_command(TARGET vocalis POST_BUILD
  COMMAND ${ST_LLVM_DLLTOOL} -m ${st_implib_machine} -D vocalis.dll
          -d ${st_vocalis_bin}/vocalis.def -l ${st_vocalis_bin}/vocalis.lib
  BYPRODUCTS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/vocalis.def ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/vocalis.lib)

st_dist(vocalis DESCRIPTION "Qelvo 语音对讲库")
if(ST_DIST_DIR)
  add_custom_command(TARGET vocalis POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_LINKER_FILE:vocalis> ${ST_DIST_DIR}/
    COMMAND ${CMAKE_COMMAND} -E copy ${st_vocalis_bin}/vocalis.lib ${ST_DIST_DIR}/
    COMMAND ${CMAKE_COMMAND} -E copy ${st_engine_dir}/vocalis.h ${ST_DIST_DIR}/)
endif()
