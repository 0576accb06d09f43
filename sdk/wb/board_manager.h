// The boards open on this client, one item per board id, each with its controller. Items
// handed out stay valid until Delete of their board or the manager's end.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/system/w_lock.h"
#include "wb/board_engine_controller.h"

namespace kiv_wb {

struct WhiteBoardItem {
  std::string boardId;  // empty until the board engine sets it
  std::unique_ptr<IBoardController> controller;
};

class BoardManager {
 public:
  BoardManager() = default;
  BoardManager(const BoardManager&) = delete;
  BoardManager& operator=(const BoardManager&) = delete;

  // The board's item, made (with a fresh controller) when there is none.
  WhiteBoardItem* Create(const std::string& boardId);
  WhiteBoardItem* Find(const std::string& boardId);
  // Runs `use` on the board's controller with the lock held, so that Delete (on the window's
  // thread) cannot free it meanwhile; false when no board has the id. `use` must not call
  // out of the whiteboard.
  bool UseController(const std::string& boardId, const std::function<void(IBoardController&)>& use);
  void Delete(const std::string& boardId);
  size_t Count();

 private:
  WhiteBoardItem* FindLocked(const std::string& boardId);

  ZORVANTE::WLock m_lock;                                // guards m_items
  std::vector<std::unique_ptr<WhiteBoardItem>> m_items;  // creation order
};

}  // namespace kiv_wb
