# Socket classes under Wine over loopback: notifications, blocking waits, time-outs.
st_add_gtest(framework_socket_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/socket_test.cpp ${CMAKE_CURRENT_LIST_DIR}/socket_wait_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/socket_fixture.cpp
  LIBS framework framework_test_pump)
