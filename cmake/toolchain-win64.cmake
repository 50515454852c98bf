# x86_64: the build the tests run under 64-bit Wine.
set(ST_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
