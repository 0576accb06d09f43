# libFuzzer target for the message parser, built with clang beside the g++ tree.
# CTest runs it for a bounded time on a corpus in the build tree (seeds read-only).
find_program(KIV_CLANGXX NAMES clang++ clang++-14)
if(NOT KIV_CLANGXX)
  message(STATUS "clang++ not found: protocol fuzzer not built")
  return()
endif()

set(_fuzz_dir ${CMAKE_CURRENT_SOURCE_DIR})
set(_fuzz_sources
  ${_fuzz_dir}/fuzz/message_fuzzer.cpp
  ${_fuzz_dir}/address_query.cpp
  ${_fuzz_dir}/base64.cpp
  ${_fuzz_dir}/business_messages.cpp
  ${_fuzz_dir}/frame_codec.cpp
  ${_fuzz_dir}/ids.cpp
  ${_fuzz_dir}/wire_message.cpp)
file(GLOB _fuzz_headers ${_fuzz_dir}/*.h)
get_target_property(_rj_inc dep::rapidjson INTERFACE_INCLUDE_DIRECTORIES)
set(_fuzz_bin ${CMAKE_BINARY_DIR}/bin/protocol_message_fuzzer)

add_custom_command(
  OUTPUT ${_fuzz_bin}
  COMMAND ${KIV_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
          -fno-sanitize-recover=undefined
          # RapidJSON's parse stack adds offsets to a null pointer before its first growth.
          -fno-sanitize=pointer-overflow -Wno-deprecated-declarations -I${PROJECT_SOURCE_DIR} -I${_rj_inc}
          ${_fuzz_sources} -o ${_fuzz_bin}
  DEPENDS ${_fuzz_sources} ${_fuzz_headers}
  COMMENT "Building protocol_message_fuzzer with clang"
  VERBATIM)
add_custom_target(protocol_message_fuzzer ALL DEPENDS ${_fuzz_bin})

set(_corpus ${CMAKE_BINARY_DIR}/fuzz/protocol_corpus)
file(MAKE_DIRECTORY ${_corpus})
add_test(NAME protocol_message_fuzzer
  COMMAND ${_fuzz_bin} -max_total_time=20 -timeout=5 -rss_limit_mb=1024 -print_final_stats=1
          -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/
          ${_corpus} ${_fuzz_dir}/fuzz/seeds)
set_tests_properties(protocol_message_fuzzer PROPERTIES TIMEOUT 90 LABELS fuzz)
