# Socket classes under Wine over loopback: notifications, blocking waits, time-outs.
# Built from the socket sources themselves, so the test does not wait on the rest of the layer.
set(st_socket_sources socket.cpp sockcore.cpp sockwait.cpp)
list(TRANSFORM st_socket_sources PREPEND ${CMAKE_SOURCE_DIR}/framework/)
st_add_gtest(framework_socket_tests
  SOURCES ${st_socket_sources}
          ${CMAKE_CURRENT_LIST_DIR}/socket_test.cpp ${CMAKE_CURRENT_LIST_DIR}/socket_wait_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/socket_fixture.cpp
  LIBS ws2_32 user32)
target_include_directories(framework_socket_tests PRIVATE ${CMAKE_SOURCE_DIR})
