#include "wb/board_manager.h"

#include "wb/board_engine_log.h"

namespace kiv_wb {

WhiteBoardItem* BoardManager::FindLocked(const std::string& boardId) {
  for (auto& item : m_items) {
    if (item->boardId == boardId) return item.get();
  }
  return nullptr;
}

WhiteBoardItem* BoardManager::Create(const std::string& boardId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (WhiteBoardItem* found = FindLocked(boardId)) return found;
  WB_LOG("Create LocalTransparentDataStream, media id = %s", boardId.c_str());
  auto item = std::make_unique<WhiteBoardItem>();
  item->controller = MakeBoardController();
  m_items.push_back(std::move(item));
  return m_items.back().get();
}

WhiteBoardItem* BoardManager::Find(const std::string& boardId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return FindLocked(boardId);
}

bool BoardManager::UseController(const std::string& boardId, const std::function<void(IBoardController&)>& use) {
  ZORVANTE::WAutoLock guard(&m_lock);
  WhiteBoardItem* item = FindLocked(boardId);
  if (!item || !item->controller) return false;
  use(*item->controller);
  return true;
}

void BoardManager::Delete(const std::string& boardId) {
  std::unique_ptr<WhiteBoardItem> gone;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
      if ((*it)->boardId == boardId) {
        gone = std::move(*it);
        m_items.erase(it);
        break;
      }
    }
    if (!gone) {
      WB_LOG("Failedt to find white board  to delete!!!\n");
      return;
    }
  }
  if (gone->controller) gone->controller->ResetPendingCommands();
  gone->controller.reset();  // the controller first, then the board id
}

size_t BoardManager::Count() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return m_items.size();
}

}  // namespace kiv_wb
