# Document boards' transfers: the upload PUT and the page-image downloads, with libcurl.
set(_doc_dir ${CMAKE_CURRENT_SOURCE_DIR}/wb/doc_transfer)

add_library(kiv_wb_document STATIC
  ${_doc_dir}/curl_global.cpp
  ${_doc_dir}/http_put_file.cpp
  ${_doc_dir}/kiv_downloader.cpp
  ${_doc_dir}/kiv_download_doc_manager.cpp
  ${_doc_dir}/pending_documents.cpp)
target_include_directories(kiv_wb_document PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kiv_wb_document PUBLIC kiv_base kiv_sdk_headers avcore_headers dep::curl)

# Downloads and the engine's document road against HTTP servers on loopback.
kiv_gtest(kiv_wb_document_test
  SOURCES
    ${_doc_dir}/kiv_download_doc_manager_test.cpp
    ${_doc_dir}/document_road_test.cpp
  LIBS kiv_sdk_impl ws2_32
  TIMEOUT 120)
set_target_properties(kiv_wb_document_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/noframework)
