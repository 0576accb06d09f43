#include "wb/board_manager.h"

#include <algorithm>

#include "wb/board_engine_log.h"

namespace kiv_wb {

std::shared_ptr<IBoardController> BoardManager::Create(const std::string& boardId,
                                                       const std::function<void(IBoardController&)>& prepare) {
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    for (const Item& item : m_items) {
      if (item.boardId == boardId) return item.controller;
    }
  }
  // Made and prepared outside the lock; a board made meanwhile by another thread wins.
  std::shared_ptr<IBoardController> controller = MakeBoardController();
  if (!controller) return nullptr;
  if (prepare) prepare(*controller);
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    for (const Item& item : m_items) {
      if (item.boardId == boardId) return item.controller;
    }
    m_items.push_back(Item{boardId, controller});
  }
  WB_LOG("Create LocalTransparentDataStream, media id = %s", boardId.c_str());
  return controller;
}

std::shared_ptr<IBoardController> BoardManager::Find(const std::string& boardId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  for (const Item& item : m_items) {
    if (item.boardId == boardId) return item.controller;
  }
  return nullptr;
}

std::shared_ptr<IBoardController> BoardManager::Delete(const std::string& boardId) {
  std::shared_ptr<IBoardController> gone;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    auto it = std::find_if(m_items.begin(), m_items.end(), [&](const Item& item) { return item.boardId == boardId; });
    if (it != m_items.end()) {
      gone = std::move(it->controller);
      m_items.erase(it);
    }
  }
  if (!gone) {
    WB_LOG("Failedt to find white board  to delete!!!\n");
    return nullptr;
  }
  gone->ResetPendingCommands();
  return gone;
}

size_t BoardManager::Count() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return m_items.size();
}

}  // namespace kiv_wb
