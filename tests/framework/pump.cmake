# The message pump the Windows test programs share.
add_library(framework_test_pump STATIC ${CMAKE_CURRENT_LIST_DIR}/pump.cpp)
target_include_directories(framework_test_pump PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(framework_test_pump PUBLIC user32)
