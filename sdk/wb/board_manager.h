// The boards open on this client, one controller per board id. Controllers are shared: a
// lookup hands out an owning reference, so that a board closed on the window's thread keeps
// its controller until the network and download threads using it have let go.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/system/w_lock.h"
#include "wb/board_engine_controller.h"

namespace kiv_wb {

class BoardManager {
 public:
  BoardManager() = default;
  BoardManager(const BoardManager&) = delete;
  BoardManager& operator=(const BoardManager&) = delete;

  // The board's controller; when there is none, a fresh one, given to `prepare` before any
  // other thread can find it under the board's id.
  std::shared_ptr<IBoardController> Create(const std::string& boardId,
                                           const std::function<void(IBoardController&)>& prepare = nullptr);
  // Null when no board has the id.
  std::shared_ptr<IBoardController> Find(const std::string& boardId);
  // Takes the board out; its controller drops its pending commands and goes when the last
  // user lets go. Null (logged) when no board has the id.
  std::shared_ptr<IBoardController> Delete(const std::string& boardId);
  size_t Count();

 private:
  struct Item {
    std::string boardId;
    std::shared_ptr<IBoardController> controller;
  };

  ZORVANTE::WLock m_lock;     // guards m_items; never held across a call out
  std::vector<Item> m_items;  // creation order
};

}  // namespace kiv_wb
