# The message window the Windows test programs use as stand-in parents and starting windows.
add_library(framework_test_window STATIC ${CMAKE_CURRENT_LIST_DIR}/msgwindow.cpp)
target_include_directories(framework_test_window PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(framework_test_window PUBLIC framework)
