# Shared compile settings and small helpers for all build trees.
if(WIN32)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
  # Static runtime: no MinGW DLLs need to sit beside the shipped binaries.
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  add_compile_options(-Wall -Wextra -Wno-unused-parameter)
  if(ST_FUZZ)
    # Coverage instrumentation for everything linked into the fuzz targets.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(ST_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "" FORCE)
endif()

set(ST_ROOT ${CMAKE_SOURCE_DIR})
set(ST_IS_WIN64 FALSE)
set(ST_IS_WIN32 FALSE)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ST_IS_WIN64 TRUE)
elseif(WIN32)
  set(ST_IS_WIN32 TRUE)
endif()

# st_add_gtest(name SOURCES... LIBS ...): a GoogleTest executable registered with CTest.
# Windows tests are discovered when they run (PRE_TEST), so building needs no Wine; the win32
# tree's tests run under 32-bit Wine where the machine has it (scripts/test decides).
function(st_add_gtest name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  if(WIN32)
    target_link_libraries(${name} PRIVATE ${A_LIBS} gtest_main)
  else()
    target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest_main)
  endif()
  if(WIN32)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES ${A_PROPERTIES})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 PROPERTIES ${A_PROPERTIES})
  endif()
endfunction()

# st_add_test_needing(name NEEDS path COMMAND cmd...): a test over material that may be absent
# (the ITU-T reference files under ST_SHARED). It is registered whether or not the path exists
# now, checks it when it runs, and CTest reports it as skipped when the path is missing.
function(st_add_test_needing name)
  cmake_parse_arguments(A "" "NEEDS" "COMMAND" ${ARGN})
  add_test(NAME ${name} COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/needs-file.sh ${A_NEEDS} ${A_COMMAND})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# st_dist(target DESCRIPTION text): a shipped binary. It gets its version resource, and a build
# with ST_DIST_DIR copies it there after linking (win32: dist/, win64: dist/x64/, without the
# debug information the test build carries).
function(st_dist target)
  cmake_parse_arguments(A "" "DESCRIPTION" "" ${ARGN})
  st_version_resource(${target} DESCRIPTION "${A_DESCRIPTION}")
  if(ST_DIST_DIR AND ST_IS_WIN32)
    # Byte for byte the file the i686 tests run.
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ST_DIST_DIR}
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${ST_DIST_DIR}/)
  elseif(ST_DIST_DIR)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ST_DIST_DIR}
      COMMAND ${CMAKE_OBJCOPY} --strip-debug $<TARGET_FILE:${target}> ${ST_DIST_DIR}/$<TARGET_FILE_NAME:${target}>)
  endif()
endfunction()

# st_version_resource(target DESCRIPTION text): gives a shipped binary its VERSIONINFO: the
# project's version, company and product name, the description and the file's own name, in
# Simplified Chinese (2052) like the programs' texts.
function(st_version_resource target)
  cmake_parse_arguments(A "" "DESCRIPTION" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(ST_VI_FILETYPE VFT_DLL)
    set(ST_VI_FILENAME ${target}.dll)
  else()
    set(ST_VI_FILETYPE VFT_APP)
    set(ST_VI_FILENAME ${target}.exe)
  endif()
  set(ST_VI_DESCRIPTION "${A_DESCRIPTION}")
  string(REPLACE "." "," ST_VI_VERSION_COMMAS "${PROJECT_VERSION}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${ST_ROOT}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES COMPILE_OPTIONS -c65001)
endfunction()
