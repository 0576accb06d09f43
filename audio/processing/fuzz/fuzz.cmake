# libFuzzer target for the saved echo-canceller state reader, built with clang beside the
# g++ tree. CTest runs it for a bounded time on a corpus in the build tree (seeds read-only).
find_program(KIV_CLANGXX NAMES clang++ clang++-14)
if(NOT KIV_CLANGXX)
  message(STATUS "clang++ not found: state file fuzzer not built")
  return()
endif()

set(_sf_dir ${CMAKE_CURRENT_LIST_DIR}/..)
set(_sf_sources
  ${_sf_dir}/fuzz/state_file_fuzzer.cpp
  ${_sf_dir}/aec_state_reader.cpp
  ${_sf_dir}/aec_state_record.cpp
  ${_sf_dir}/adaptive_echo_filter.cpp
  ${_sf_dir}/min_statistics.cpp)
file(GLOB _sf_headers ${_sf_dir}/*.h)
set(_sf_bin ${CMAKE_BINARY_DIR}/bin/aec_state_file_fuzzer)

add_custom_command(
  OUTPUT ${_sf_bin}
  COMMAND ${KIV_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
          -fno-sanitize-recover=undefined -I${_sf_dir} ${_sf_sources} -o ${_sf_bin}
  DEPENDS ${_sf_sources} ${_sf_headers}
  COMMENT "Building aec_state_file_fuzzer with clang"
  VERBATIM)
add_custom_target(aec_state_file_fuzzer ALL DEPENDS ${_sf_bin})

set(_sf_corpus ${CMAKE_BINARY_DIR}/fuzz/aec_state_corpus)
file(MAKE_DIRECTORY ${_sf_corpus})
# Inputs up to two records and a little more (the reader is about whole records).
add_test(NAME aec_state_file_fuzzer
  COMMAND ${_sf_bin} -max_total_time=20 -timeout=5 -rss_limit_mb=1024 -max_len=1000000
          -print_final_stats=1 -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/
          ${_sf_corpus} ${_sf_dir}/fuzz/seeds)
set_tests_properties(aec_state_file_fuzzer PROPERTIES TIMEOUT 90 LABELS fuzz)
