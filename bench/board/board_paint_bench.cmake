# Repaint and hit-testing of a page of 10 000 graphs: native (model share) and Windows
# (GDI+ canvas, run under wine64).
add_executable(board_paint_bench ${CMAKE_CURRENT_LIST_DIR}/board_paint_bench.cpp)
if(WIN32)
  target_link_libraries(board_paint_bench PRIVATE kiv_wb_canvas)
else()
  target_link_libraries(board_paint_bench PRIVATE kiv_wb_model)
endif()
