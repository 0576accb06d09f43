# libFuzzer target for the remote-audio packet reader and the RTP/jitter-buffer input,
# built with clang beside the g++ tree. CTest runs it for a bounded time on a corpus in
# the build tree (seeds read-only).
find_program(KIV_CLANGXX NAMES clang++ clang++-14)
if(NOT KIV_CLANGXX)
  message(STATUS "clang++ not found: voice packet fuzzer not built")
  return()
endif()

set(_vf_dir ${CMAKE_CURRENT_SOURCE_DIR})
set(_vf_sources
  ${_vf_dir}/fuzz/voice_packet_fuzzer.cpp
  ${_vf_dir}/remote_audio_packet.cpp
  ${_vf_dir}/rtp_opus_packet.cpp
  ${_vf_dir}/voice_jitter_buffer.cpp)
file(GLOB _vf_headers ${_vf_dir}/*.h)
set(_vf_bin ${CMAKE_BINARY_DIR}/bin/voice_packet_fuzzer)

add_custom_command(
  OUTPUT ${_vf_bin}
  COMMAND ${KIV_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
          -fno-sanitize-recover=undefined -I${_vf_dir} ${_vf_sources} -o ${_vf_bin}
  DEPENDS ${_vf_sources} ${_vf_headers}
  COMMENT "Building voice_packet_fuzzer with clang"
  VERBATIM)
add_custom_target(voice_packet_fuzzer ALL DEPENDS ${_vf_bin})

set(_vf_corpus ${CMAKE_BINARY_DIR}/fuzz/voice_corpus)
file(MAKE_DIRECTORY ${_vf_corpus})
add_test(NAME voice_packet_fuzzer
  COMMAND ${_vf_bin} -max_total_time=20 -timeout=5 -rss_limit_mb=1024 -print_final_stats=1
          -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/
          ${_vf_corpus} ${_vf_dir}/fuzz/seeds)
set_tests_properties(voice_packet_fuzzer PROPERTIES TIMEOUT 90 LABELS fuzz)
