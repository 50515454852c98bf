# The shared download recipe under Wine against a minimal HTTP server on a real socket.
st_add_gtest(framework_httpget_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/httpget_test.cpp
             LIBS framework)
