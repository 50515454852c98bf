# The downloader's command-line grammar (portable source compiled in directly: the fuzz tree
# builds no fetch/ area).
st_add_fuzz(fetch_cmdline SOURCES ${CMAKE_SOURCE_DIR}/tests/fetch/fuzz_cmdline.cpp
            ${CMAKE_SOURCE_DIR}/fetch/cmdline.cpp)
target_include_directories(fuzz_fetch_cmdline PRIVATE ${CMAKE_SOURCE_DIR})
