# Repaint and hit-testing of a page of 10 000 graphs: native (model share) and Windows
# (GDI+ canvas, run under wine64).
add_executable(board_paint_bench ${CMAKE_CURRENT_LIST_DIR}/board_paint_bench.cpp)
if(WIN32)
  target_link_libraries(board_paint_bench PRIVATE kiv_wb_canvas)
else()
  target_link_libraries(board_paint_bench PRIVATE kiv_wb_model)
endif()

# A stroke drawn at one host until painted at the other (native driver of two Windows hosts).
if(KIV_NATIVE AND TARGET kiv_server_test_support)
  add_executable(board_stroke_bench ${CMAKE_CURRENT_LIST_DIR}/board_stroke_bench.cpp)
  target_link_libraries(board_stroke_bench PRIVATE kiv_board_bench_hosts)
endif()
