// A board's settings as a full-state update reports them to the board engine.
#pragma once

#include <string>

namespace kiv_wb {

struct BoardInfo {
  int boardType = 0;  // 1 document board
  std::string boardName;
  std::string filePath;
  std::string convertFilePath;
  int width = 0;
  int height = 0;
  int pageCount = 0;
};

}  // namespace kiv_wb
