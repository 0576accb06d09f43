# kiv_fuzzer(<name> SOURCES ... [FLAGS ...] [ARGS ...] [SEEDS dir] [SECONDS n])
# FLAGS: further compiler and linker arguments (include folders, libraries); ARGS: further
# arguments of the run (e.g. -max_len). The headers a source includes are dependencies (depfile).
# A libFuzzer target built with clang (ASan + UBSan) beside the g++ tree; CTest runs it
# for a bounded time on a corpus in the build tree, with the seeds read-only.
find_program(KIV_CLANGXX NAMES clang++ clang++-14 REQUIRED)

function(kiv_fuzzer name)
  cmake_parse_arguments(F "" "SEEDS;SECONDS" "SOURCES;FLAGS;ARGS" ${ARGN})
  if(KIV_SANITIZE)
    return()  # run by the plain native tree
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 20)
  endif()
  set(_sources)
  foreach(s ${F_SOURCES})
    get_filename_component(_abs ${s} ABSOLUTE)
    if(NOT EXISTS ${_abs})
      message(FATAL_ERROR "${name}: source file missing: ${_abs}")
    endif()
    list(APPEND _sources ${_abs})
  endforeach()
  get_target_property(_rj_inc dep::rapidjson INTERFACE_INCLUDE_DIRECTORIES)
  set(_include_flags ${F_FLAGS})
  list(FILTER _include_flags INCLUDE REGEX "^-[ID]")
  set(_bin ${CMAKE_BINARY_DIR}/bin/${name})
  add_custom_command(
    OUTPUT ${_bin}
    # The headers the sources include, for the depfile (one rule per source, all on the output).
    COMMAND ${KIV_CLANGXX} -std=c++17 -M -MT ${_bin} -I${PROJECT_SOURCE_DIR} -I${PROJECT_SOURCE_DIR}/common/include -I${_rj_inc} ${_include_flags}
            ${_sources} > ${_bin}.d
    COMMAND ${KIV_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
            -fno-sanitize-recover=undefined
            # RapidJSON's parse stack adds offsets to a null pointer before its first growth.
            -fno-sanitize=pointer-overflow -Wno-deprecated-declarations
            -I${PROJECT_SOURCE_DIR} -I${PROJECT_SOURCE_DIR}/common/include -I${_rj_inc} ${_sources} ${F_FLAGS}
            -o ${_bin}
    DEPENDS ${_sources}
    DEPFILE ${_bin}.d
    COMMENT "Building ${name} with clang"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${_bin})
  set(_corpus ${CMAKE_BINARY_DIR}/fuzz/${name}_corpus)
  file(MAKE_DIRECTORY ${_corpus})
  set(_seeds)
  if(F_SEEDS)
    get_filename_component(_seeds ${F_SEEDS} ABSOLUTE)
  endif()
  add_test(NAME ${name}
    COMMAND ${_bin} -max_total_time=${F_SECONDS} -timeout=5 -rss_limit_mb=1024 -print_final_stats=1
            ${F_ARGS} -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/ ${_corpus} ${_seeds})
  math(EXPR _limit "${F_SECONDS} * 3 + 30")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${_limit} LABELS fuzz)
endfunction()
