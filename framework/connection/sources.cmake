# The control-plane connection of Tessarine32: the protocol's client session on Winsock.
# Included by framework/CMakeLists.txt after the library's targets are defined.
target_sources(tessarine_dll_body PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/connection_core.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kiv_connection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/online_service.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sdk_http_getter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_message_service.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tspd_channel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/winsock_socket.cpp)
target_include_directories(tessarine_dll_body PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tessarine_dll_body PUBLIC kiv_protocol ws2_32)

include(${CMAKE_CURRENT_LIST_DIR}/tests.cmake)
