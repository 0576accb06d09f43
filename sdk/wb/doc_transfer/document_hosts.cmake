# Document boards between two hosts: the native driver starts the meeting server (with its
# document service) and the Windows drawing hosts; the cases are registered in the x64 tree.
if(KIV_NATIVE AND TARGET kiv_server_test_support)
  add_executable(kiv_wb_document_hosts_test ${CMAKE_CURRENT_SOURCE_DIR}/wb/doc_transfer/document_hosts_test.cpp)
  target_link_libraries(kiv_wb_document_hosts_test PRIVATE kiv_wine_host_testing kiv_server_test_support GTest::gtest)
  target_compile_definitions(kiv_wb_document_hosts_test PRIVATE KIV_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()

if(WIN32 AND KIV_RUNNABLE)
  string(REGEX REPLACE "x64$" "native" _doc_native_tree "${CMAKE_BINARY_DIR}")
  foreach(case DocumentBoardsBetweenHosts PresentationBoardBetweenHosts TwoDocumentBoardsAtOnce PagesArriveDespiteFailedRequests PageThatNeverComesIsReported)
    add_test(NAME DocumentHostsTest.${case}
      COMMAND ${_doc_native_tree}/bin/kiv_wb_document_hosts_test --gtest_filter=DocumentHostsTest.${case}
              --host=$<TARGET_FILE:kiv_wb_draw_host> --shots=${CMAKE_BINARY_DIR}/screenshots)
    set_tests_properties(DocumentHostsTest.${case} PROPERTIES TIMEOUT 300
      RESOURCE_LOCK "kiv_registry;audio;display")
  endforeach()
endif()
