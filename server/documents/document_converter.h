// Turns an uploaded document into page images: office documents become PDF through
// LibreOffice ("soffice --headless --convert-to pdf", a private profile per run), the PDF's
// pages are counted ("pdfinfo") and rendered as JPEG ("pdftoppm", the longer side scaled to
// a fixed size), named 0.jpg, 1.jpg ... in the pages folder. Every program runs in its own
// process group under the limits below; one deadline covers the whole conversion.
// Blocking: runs on a worker thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "server/documents/zip_inspector.h"

namespace kiv_server {

struct ConversionLimits {
  std::chrono::milliseconds time{60000};
  uint32_t max_pages = 300;
  int page_long_side = 1280;                     // pixels of a page image's longer side
  uint64_t max_file_bytes = 256ull << 20;        // any file a converter writes
  uint64_t office_address_space = 2ull << 30;    // LibreOffice
  uint64_t renderer_address_space = 1ull << 30;  // Poppler's tools
  ZipLimits zip;
};

struct ConversionJob {
  std::string source;        // the uploaded document
  std::string extension;     // its validated, lower-case extension
  std::string work_folder;   // scratch, created and removed here
  std::string pages_folder;  // created here; receives <i>.jpg
};

struct ConversionResult {
  int code = 0;  // kiv_proto::DocumentResult
  std::string message;
  uint32_t pages = 0;
  int width = 0;  // of the first page image
  int height = 0;
};

ConversionResult ConvertDocument(const ConversionJob& job, const ConversionLimits& limits,
                                 const std::atomic<bool>* cancel = nullptr);

}  // namespace kiv_server
