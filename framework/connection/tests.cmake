# Tests of the connection component under wine64 against the native meeting_server.
# The Windows test starts the server itself: it runs server/testing/server_ctl.sh through
# Wine (an ELF program started by CreateProcess) and reads the ports the server writes.
# The server binary is the native tree's: build/<tag->native/bin/meeting_server
# (KIV_MEETING_SERVER overrides it); scripts/test.sh builds that tree first.
string(REGEX REPLACE "(x64|x86)$" "native" _kiv_native_dir "${CMAKE_BINARY_DIR}")
set(KIV_MEETING_SERVER "${_kiv_native_dir}/bin/meeting_server" CACHE FILEPATH
    "native meeting_server used by the Windows connection tests")

kiv_gtest(kiv_connection_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/callback_registry_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/testing/connection_recorder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/testing/framework_loader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/kiv_connection_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/testing/meeting_server_control.cpp
    ${CMAKE_CURRENT_LIST_DIR}/testing/winhttp_client.cpp
  LIBS avcore_headers kiv_protocol tessarine_test_hooks winhttp ws2_32
  TIMEOUT 120)
target_include_directories(kiv_connection_test PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/testing)
target_compile_definitions(kiv_connection_test PRIVATE
  KIV_MEETING_SERVER="${KIV_MEETING_SERVER}"
  KIV_SERVER_CTL="${PROJECT_SOURCE_DIR}/server/testing/server_ctl.sh"
  KIV_SERVER_RUN_DIR="${CMAKE_BINARY_DIR}/connection_test_servers")
add_dependencies(kiv_connection_test Tessarine32)
