# i686: the shipped 32-bit binaries.
set(ST_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
