// What the upload thread needs to send one document: built by the board engine, copied into
// the thread.
#pragma once

#include <string>

namespace kiv_wb {

struct UploadDocProfile {
  std::string filePath;       // the document's path on the server, as the upload reply gave it
  std::string localPath;      // the local document (UTF-8)
  std::string uploadAddress;  // the address to PUT to
  int fileSize = 0;           // measured when the document board was created
};

}  // namespace kiv_wb
