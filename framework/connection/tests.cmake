# Tests of the connection component under wine64 against the native meeting_server.
# The Windows test starts the server itself: it runs server/testing/server_ctl.sh through
# Wine (an ELF program started by CreateProcess) and reads the ports the server writes
# (see testing/CMakeLists.txt); scripts/test.sh builds the native tree first.
kiv_gtest(kiv_connection_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/callback_registry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/kiv_connection_test.cpp
  LIBS kiv_connection_testing
  TIMEOUT 120)
target_include_directories(kiv_connection_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
add_dependencies(kiv_connection_test Tessarine32)
