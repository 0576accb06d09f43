# libFuzzer target for the board message readers and the update commands, built with clang
# beside the g++ tree. CTest runs it for a bounded time on a corpus in the build tree.
find_program(KIV_CLANGXX NAMES clang++ clang++-14)
if(NOT KIV_CLANGXX)
  message(STATUS "clang++ not found: board message fuzzer not built")
  return()
endif()

set(_bfz_wb ${CMAKE_CURRENT_SOURCE_DIR}/wb)
set(_bfz_sources
  ${_bfz_wb}/message/fuzz/wb_board_message_fuzzer.cpp
  ${_bfz_wb}/message/board_message.cpp
  ${_bfz_wb}/message/update_commands.cpp
  ${_bfz_wb}/canvas/board_painter.cpp
  ${_bfz_wb}/model/board.cpp
  ${_bfz_wb}/model/board_rect.cpp
  ${_bfz_wb}/model/edit_settings.cpp
  ${_bfz_wb}/model/graph_base.cpp
  ${_bfz_wb}/model/graph_factory.cpp
  ${_bfz_wb}/model/graph_line.cpp
  ${_bfz_wb}/model/graph_path.cpp
  ${_bfz_wb}/model/graph_text.cpp
  ${_bfz_wb}/model/page.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/base/json_reader.cpp)
file(GLOB _bfz_headers ${_bfz_wb}/message/*.h ${_bfz_wb}/model/*.h ${_bfz_wb}/canvas/*.h)
get_target_property(_bfz_rj_inc dep::rapidjson INTERFACE_INCLUDE_DIRECTORIES)
set(_bfz_bin ${CMAKE_BINARY_DIR}/bin/wb_board_message_fuzzer)

add_custom_command(
  OUTPUT ${_bfz_bin}
  COMMAND ${KIV_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
          -fno-sanitize-recover=undefined
          # RapidJSON's parse stack adds offsets to a null pointer before its first growth.
          -fno-sanitize=pointer-overflow -Wno-deprecated-declarations
          -I${CMAKE_CURRENT_SOURCE_DIR} -I${_bfz_rj_inc}
          ${_bfz_sources} -o ${_bfz_bin}
  DEPENDS ${_bfz_sources} ${_bfz_headers}
  COMMENT "Building wb_board_message_fuzzer with clang"
  VERBATIM)
add_custom_target(wb_board_message_fuzzer ALL DEPENDS ${_bfz_bin})

set(_bfz_corpus ${CMAKE_BINARY_DIR}/fuzz/wb_board_corpus)
file(MAKE_DIRECTORY ${_bfz_corpus})
add_test(NAME wb_board_message_fuzzer
  COMMAND ${_bfz_bin} -max_total_time=20 -timeout=5 -rss_limit_mb=1024 -max_len=65536
          -print_final_stats=1 -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/
          ${_bfz_corpus} ${_bfz_wb}/message/fuzz/seeds)
set_tests_properties(wb_board_message_fuzzer PROPERTIES TIMEOUT 90 LABELS fuzz)
