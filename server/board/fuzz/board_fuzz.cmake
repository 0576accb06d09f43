# libFuzzer target for the board service's readers, built with clang beside the g++ tree.
# CTest runs it for a bounded time on a corpus in the build tree (seeds read-only).
find_program(KIV_CLANGXX NAMES clang++ clang++-14)
if(NOT KIV_CLANGXX)
  message(STATUS "clang++ not found: board fuzzer not built")
  return()
endif()

set(_board_fuzz_sources
  ${CMAKE_CURRENT_SOURCE_DIR}/board/fuzz/board_fuzzer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/board/board_message.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/board/board_state.cpp
  ${PROJECT_SOURCE_DIR}/protocol/ids.cpp
  ${PROJECT_SOURCE_DIR}/protocol/tspd_messages.cpp
  ${PROJECT_SOURCE_DIR}/protocol/wire_message.cpp)
file(GLOB _board_fuzz_headers ${CMAKE_CURRENT_SOURCE_DIR}/board/*.h ${PROJECT_SOURCE_DIR}/protocol/*.h)
get_target_property(_board_rj_inc dep::rapidjson INTERFACE_INCLUDE_DIRECTORIES)
set(_board_fuzz_bin ${CMAKE_BINARY_DIR}/bin/board_message_fuzzer)

add_custom_command(
  OUTPUT ${_board_fuzz_bin}
  COMMAND ${KIV_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
          -fno-sanitize-recover=undefined
          # RapidJSON's parse stack adds offsets to a null pointer before its first growth.
          -fno-sanitize=pointer-overflow -Wno-deprecated-declarations -I${PROJECT_SOURCE_DIR} -I${_board_rj_inc}
          ${_board_fuzz_sources} -o ${_board_fuzz_bin}
  DEPENDS ${_board_fuzz_sources} ${_board_fuzz_headers}
  COMMENT "Building board_message_fuzzer with clang"
  VERBATIM)
add_custom_target(board_message_fuzzer ALL DEPENDS ${_board_fuzz_bin})

set(_board_corpus ${CMAKE_BINARY_DIR}/fuzz/board_corpus)
file(MAKE_DIRECTORY ${_board_corpus})
add_test(NAME board_message_fuzzer
  COMMAND ${_board_fuzz_bin} -max_total_time=20 -timeout=5 -rss_limit_mb=1024 -print_final_stats=1
          -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/board-
          ${_board_corpus} ${CMAKE_CURRENT_SOURCE_DIR}/board/fuzz/seeds)
set_tests_properties(board_message_fuzzer PROPERTIES TIMEOUT 90 LABELS fuzz)
