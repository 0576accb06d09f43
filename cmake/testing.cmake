# kiv_gtest(<name> SOURCES ... [LIBS ...] [TIMEOUT s] [LABELS ...] [RESOURCE_LOCK ...] [RUN_SERIAL])
# A GoogleTest program; on the x86_64 Windows tree its cases run under wine64.
# RESOURCE_LOCK keeps cases that share a resource (e.g. "audio" devices) from running at once;
# RUN_SERIAL runs each case with no other test beside it (real-time measurements).
enable_testing()
include(GoogleTest)
if(NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

function(kiv_gtest name)
  cmake_parse_arguments(T "RUN_SERIAL" "TIMEOUT" "SOURCES;LIBS;LABELS;RESOURCE_LOCK" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  if(KIV_RUNNABLE)
    set(_props TIMEOUT ${T_TIMEOUT})
    if(T_LABELS)
      list(APPEND _props LABELS "${T_LABELS}")
    endif()
    if(T_RUN_SERIAL)
      list(APPEND _props RUN_SERIAL TRUE)
    endif()
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
      PROPERTIES ${_props})
    # The discovery script splits a list value into separate arguments, so the locks are
    # set by a script of ours that CTest reads after the discovered tests exist.
    if(T_RESOURCE_LOCK)
      set(_locks_script "${CMAKE_CURRENT_BINARY_DIR}/${name}_locks.cmake")
      file(WRITE "${_locks_script}"
        "if(${name}_TESTS)\n"
        "  set_tests_properties(\${${name}_TESTS} PROPERTIES RESOURCE_LOCK \"${T_RESOURCE_LOCK}\")\n"
        "endif()\n")
      set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_locks_script}")
    endif()
  endif()
endfunction()
