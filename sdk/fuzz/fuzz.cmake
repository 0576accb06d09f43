# libFuzzer targets of the SDK's readers, built with clang beside the g++ tree. CTest runs
# each for a bounded time on a corpus in the build tree (seeds read-only).
find_program(KIV_CLANGXX NAMES clang++ clang++-14)
if(NOT KIV_CLANGXX)
  message(STATUS "clang++ not found: SDK fuzzers not built")
  return()
endif()

function(kiv_sdk_fuzzer name)
  cmake_parse_arguments(F "" "SEEDS" "SOURCES;INCLUDES;LIBS" ${ARGN})
  set(_bin ${CMAKE_BINARY_DIR}/bin/${name})
  add_custom_command(
    OUTPUT ${_bin}
    COMMAND ${KIV_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
            -fno-sanitize-recover=undefined -fno-sanitize=pointer-overflow -Wno-deprecated-declarations
            -I${CMAKE_CURRENT_SOURCE_DIR} ${F_INCLUDES} ${F_SOURCES} ${F_LIBS} -o ${_bin}
    DEPENDS ${F_SOURCES}
    COMMENT "Building ${name} with clang"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${_bin})
  set(_corpus ${CMAKE_BINARY_DIR}/fuzz/${name}_corpus)
  file(MAKE_DIRECTORY ${_corpus})
  add_test(NAME ${name}
    COMMAND ${_bin} -max_total_time=20 -timeout=5 -rss_limit_mb=1024 -print_final_stats=1
            -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/ ${_corpus} ${F_SEEDS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 90 LABELS fuzz)
endfunction()

kiv_sdk_fuzzer(kiv_remote_audio_packet_fuzzer
  SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/packet_seeds
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/remote_audio_packet_fuzzer.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/core/remote_audio_packet.cpp)


# TinyXML links as built for the native tree (not instrumented; the readers' use of it is).
get_target_property(_tinyxml_inc dep::tinyxml INTERFACE_INCLUDE_DIRECTORIES)
get_target_property(_tinyxml_lib dep::tinyxml IMPORTED_LOCATION)
kiv_sdk_fuzzer(kiv_plugin_config_fuzzer
  SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/plugin_seeds
  INCLUDES -I${_tinyxml_inc} -DTIXML_USE_STL
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/plugin_config_fuzzer.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/core/plugin_config.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/base/xml_reader.cpp
  LIBS ${_tinyxml_lib})
