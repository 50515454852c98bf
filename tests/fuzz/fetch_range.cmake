# The downloader's check that a range answer starts where it asked (portable source compiled in
# directly, as for the command line).
st_add_fuzz(fetch_range SOURCES ${CMAKE_CURRENT_LIST_DIR}/fetch_range_fuzz.cpp
            ${CMAKE_SOURCE_DIR}/fetch/dldtext.cpp)
target_include_directories(fuzz_fetch_range PRIVATE ${CMAKE_SOURCE_DIR})
