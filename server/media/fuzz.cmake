# libFuzzer target for the media plane's packet readers (relay, client transport, H.264
# depacketizer), built with clang beside the g++ tree; CTest runs it for a bounded time.
find_program(KIV_CLANGXX NAMES clang++ clang++-14)
if(NOT KIV_CLANGXX)
  message(STATUS "clang++ not found: media fuzzer not built")
  return()
endif()

set(_fuzz_src ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/media_packet_fuzzer.cpp)
set(_proto ${PROJECT_SOURCE_DIR}/protocol)
set(_fuzz_sources
  ${_fuzz_src}
  ${CMAKE_CURRENT_SOURCE_DIR}/loss_switch.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/media_relay.cpp
  ${PROJECT_SOURCE_DIR}/framework/media/transport/reception_meter.cpp
  ${PROJECT_SOURCE_DIR}/framework/media/transport/transport_core.cpp
  ${_proto}/media/h264_packetizer.cpp
  ${_proto}/media/media_messages.cpp
  ${_proto}/media/media_ticket.cpp
  ${_proto}/media/rtcp_packet.cpp
  ${_proto}/media/rtp_packet.cpp
  ${_proto}/ids.cpp
  ${_proto}/wire_message.cpp)
file(GLOB _fuzz_headers ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${_proto}/media/*.h ${PROJECT_SOURCE_DIR}/framework/media/transport/*.h)
get_target_property(_rj_inc dep::rapidjson INTERFACE_INCLUDE_DIRECTORIES)
set(_fuzz_bin ${CMAKE_BINARY_DIR}/bin/media_packet_fuzzer)

add_custom_command(
  OUTPUT ${_fuzz_bin}
  COMMAND ${KIV_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
          -fno-sanitize-recover=undefined
          -fno-sanitize=pointer-overflow -Wno-deprecated-declarations -I${PROJECT_SOURCE_DIR}
          -I${PROJECT_SOURCE_DIR}/framework/media/transport -I${_rj_inc}
          ${_fuzz_sources} -o ${_fuzz_bin}
  DEPENDS ${_fuzz_sources} ${_fuzz_headers}
  COMMENT "Building media_packet_fuzzer with clang"
  VERBATIM)
add_custom_target(media_packet_fuzzer ALL DEPENDS ${_fuzz_bin})

set(_corpus ${CMAKE_BINARY_DIR}/fuzz/media_corpus)
file(MAKE_DIRECTORY ${_corpus})
add_test(NAME media_packet_fuzzer
  COMMAND ${_fuzz_bin} -max_total_time=20 -timeout=5 -rss_limit_mb=1024 -print_final_stats=1
          -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/
          ${_corpus} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/seeds)
set_tests_properties(media_packet_fuzzer PROPERTIES TIMEOUT 90 LABELS fuzz)
