# The sources of the board model library (kiv_board_model), listed once: the library and the
# fuzzers that compile the model themselves (clang, instrumented) take them from here.
set(KIV_BOARD_MODEL_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/message/board_message.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message/update_commands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model/board.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model/board_rect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model/edit_settings.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model/graph_base.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model/graph_factory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model/graph_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model/graph_path.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model/graph_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/model/page.cpp
  ${CMAKE_CURRENT_LIST_DIR}/paint/board_painter.cpp)
