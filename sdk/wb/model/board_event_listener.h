// The board events a board reports to its engine.
#pragma once

#include <string>

#include "wb/model/board_info.h"

namespace kiv_wb {

// Called by a board after a full state was applied and after another participant switched
// its page.
class ICoreBoardEventListener {
 public:
  virtual void OnBoardSynUpdate(const std::string& boardId, const BoardInfo& info, int currentPageId) = 0;
  virtual void OnRemoteChangePage(const std::string& boardId, int pageId) = 0;

 protected:
  ~ICoreBoardEventListener() = default;
};

}  // namespace kiv_wb
