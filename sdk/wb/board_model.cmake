# The whiteboard's drawing side. Pure logic, built everywhere; the GDI+ canvas only for Windows.
set(_wb_dir ${CMAKE_CURRENT_SOURCE_DIR}/wb)

# The board model: graphs, pages and boards, the painter over the canvas interface, board
# messages and update commands (model/, paint/, message/). It depends on the protocol and
# nothing of the SDK, so that the meeting server links it too.
include(${_wb_dir}/board_model_sources.cmake)
add_library(kiv_board_model STATIC ${KIV_BOARD_MODEL_SOURCES})
target_include_directories(kiv_board_model PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kiv_board_model PUBLIC kiv_protocol dep::rapidjson)

# The SDK's editing side of a board: local editing commands and the board controller.
add_library(kiv_wb_model STATIC
  ${_wb_dir}/local_commands/four_point_graph_local_command.cpp
  ${_wb_dir}/local_commands/graph_delete_local_command.cpp
  ${_wb_dir}/local_commands/graph_select_local_command.cpp
  ${_wb_dir}/local_commands/local_graphs_move_command.cpp
  ${_wb_dir}/local_commands/path_graph_local_command.cpp
  ${_wb_dir}/local_commands/text_graph_local_command.cpp
  ${_wb_dir}/board_controller.cpp
  ${_wb_dir}/board_controller_binding.cpp)
target_include_directories(kiv_wb_model PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kiv_wb_model PUBLIC kiv_board_model kiv_base_pure)

# What tests and test hosts read of a board: never in the shipped libraries.
add_library(kiv_board_model_testing STATIC ${_wb_dir}/model/board_snapshot.cpp)
target_link_libraries(kiv_board_model_testing PUBLIC kiv_board_model)
add_library(kiv_wb_model_testing INTERFACE)
target_link_libraries(kiv_wb_model_testing INTERFACE kiv_board_model_testing kiv_wb_model)

if(KIV_NATIVE)
  kiv_gtest(kiv_wb_model_test
    SOURCES
      ${_wb_dir}/paint/board_painter_test.cpp
      ${_wb_dir}/model/graph_test.cpp
      ${_wb_dir}/model/page_test.cpp
      ${_wb_dir}/message/board_message_test.cpp
      ${_wb_dir}/message/update_commands_test.cpp
    LIBS kiv_board_model_testing
    TIMEOUT 60)
  kiv_gtest(kiv_wb_controller_test
    SOURCES
      ${_wb_dir}/local_commands/local_commands_test.cpp
      ${_wb_dir}/board_controller_test.cpp
      ${_wb_dir}/board_controller_sync_test.cpp
    LIBS kiv_wb_model_testing
    TIMEOUT 60)
  # Whole meetings: controllers through the meeting server's board service, random updates.
  kiv_gtest(kiv_wb_meeting_diff_test
    SOURCES ${_wb_dir}/board_meeting_diff_test.cpp
    LIBS kiv_wb_model_testing kiv_meeting_logic
    TIMEOUT 240)
  if(KIV_SANITIZE)
    target_compile_definitions(kiv_wb_meeting_diff_test PRIVATE KIV_BOARD_DIFF_DEFAULT_SEEDS=400)
  endif()
  include(fuzzing)
  kiv_fuzzer(wb_board_message_fuzzer
    SOURCES ${_wb_dir}/message/fuzz/wb_board_message_fuzzer.cpp ${KIV_BOARD_MODEL_SOURCES}
            ${PROJECT_SOURCE_DIR}/protocol/wire/json_reader.cpp
    FLAGS -I${PROJECT_SOURCE_DIR}/sdk
    ARGS -max_len=65536
    SEEDS ${_wb_dir}/message/fuzz/seeds)
endif()

# Drawing between two hosts: the native driver starts the meeting server and the Windows hosts.
if(KIV_NATIVE AND TARGET kiv_server_test_support)
  add_executable(kiv_wb_draw_hosts_test ${_wb_dir}/board_controller_hosts_test.cpp)
  target_link_libraries(kiv_wb_draw_hosts_test PRIVATE kiv_wine_host_testing kiv_server_test_support GTest::gtest)
endif()

# The GDI+ canvas and the text editor of the board windows.
if(WIN32)
  add_library(kiv_wb_canvas STATIC
    ${_wb_dir}/canvas/gdip_canvas_impl.cpp
    ${_wb_dir}/canvas/gdip_canvas_hooks.cpp
    ${_wb_dir}/editor/rich_edit_hooks.cpp
    ${_wb_dir}/editor/rich_edit_ui.cpp
    ${_wb_dir}/editor/txt_win_host.cpp)
  target_link_libraries(kiv_wb_canvas PUBLIC kiv_wb_model kiv_base gdiplus gdi32 user32 ole32 imm32)
  kiv_gtest(kiv_wb_canvas_test
    SOURCES ${_wb_dir}/canvas/gdip_canvas_impl_test.cpp
    LIBS kiv_wb_canvas
    TIMEOUT 60)
  # The text editor on a facade's board window; once more with the rich-edit library disabled.
  kiv_gtest(kiv_wb_editor_test
    SOURCES ${_wb_dir}/editor/rich_edit_ui_test.cpp
    LIBS kiv_sdk_impl
    TIMEOUT 150
    RESOURCE_LOCK display)
  set_target_properties(kiv_wb_editor_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/noframework)
  if(KIV_RUNNABLE)
    add_test(NAME RichEditUITest.WithoutTheLibraryDisabled
      COMMAND sh -c "WINEDLLOVERRIDES=\"$WINEDLLOVERRIDES;msftedit=d\" exec ${CMAKE_CROSSCOMPILING_EMULATOR} \"$0\" --gtest_filter=RichEditUITest.WithoutTheLibrary"
              $<TARGET_FILE:kiv_wb_editor_test>)
    # A skip would mean the library was not disabled.
    set_tests_properties(RichEditUITest.WithoutTheLibraryDisabled PROPERTIES TIMEOUT 90 RESOURCE_LOCK display
      FAIL_REGULAR_EXPRESSION "SKIPPED")
  endif()
  # A meeting participant that draws, for the two-host drawing tests.
  add_executable(kiv_wb_draw_host ${CMAKE_CURRENT_SOURCE_DIR}/testing/hosts/board_controller_test_host.cpp)
  target_link_libraries(kiv_wb_draw_host PRIVATE kiv_sdk_exports kiv_test_host_support kiv_wb_model_testing)
  if(TARGET Tessarine32)
    add_dependencies(kiv_wb_draw_host Tessarine32)
  endif()
  if(KIV_RUNNABLE)
    string(REGEX REPLACE "x64$" "native" _wb_native_tree "${CMAKE_BINARY_DIR}")
    foreach(case DrawingSeenAtTheOtherHost ConcurrentDrawingJoinAndReconnect TypedTextSeenAtTheOtherHost
                 HandlerCallsBackAndWideStrokesKept)
      add_test(NAME DrawHostsTest.${case}
        COMMAND ${_wb_native_tree}/bin/kiv_wb_draw_hosts_test --gtest_filter=DrawHostsTest.${case}
                --host=$<TARGET_FILE:kiv_wb_draw_host> --shots=${CMAKE_BINARY_DIR}/screenshots)
      set_tests_properties(DrawHostsTest.${case} PROPERTIES TIMEOUT 600
        RESOURCE_LOCK "kiv_registry;audio;display")
    endforeach()
  endif()
  # Two board windows under Wine, mouse messages and screenshots read from the screen:
  # no other test's window may cover them.
  kiv_gtest(kiv_wb_windows_test
    SOURCES ${_wb_dir}/board_controller_window_test.cpp
    LIBS kiv_wb_canvas kiv_wb_model_testing
    TIMEOUT 90
    RESOURCE_LOCK kiv_registry audio display)
endif()
