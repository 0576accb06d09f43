// The record of every internal document event; fields an event does not use are empty and -1.
#pragma once

#include <string>

namespace kiv_wb {

struct DocEventInfo {
  std::string filePath;
  std::string convertFilePath;
  std::string boardId;
  int width = -1;
  int height = -1;
  int pageCount = -1;
  int pageIndex = -1;
};

}  // namespace kiv_wb
