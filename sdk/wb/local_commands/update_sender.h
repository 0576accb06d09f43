// Hands an update built by a local command to the controller, which writes, applies and
// sends it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "wb/local_commands/update_command_observer.h"
#include "wb/message/board_command_base.h"
#include "wb/message/update_commands.h"
#include "wb/model/board.h"
#include "wb/model/board_limits.h"
#include "wb/model/edit_settings.h"

namespace kiv_wb {

inline void SendUpdate(EditSettings* settings, std::shared_ptr<BoardCommandBase> update) {
  if (settings && settings->GetObserver()) {
    settings->GetObserver()->OnUpdateCommand(update);
  }
}

// A move of graphs, in as many updates as its ids need (each within the update limit).
inline void SendGraphsMove(EditSettings* settings, Board& board, int pid, const std::vector<int>& ids, int ox, int oy) {
  size_t from = 0;
  do {
    const size_t to = std::min(ids.size(), from + kMaxUpdateGraphIds);
    SendUpdate(settings,
               std::make_shared<GraphsMoveCommand>(board.NextCliSeqId(), static_cast<uint32_t>(board.GetEditId()), pid,
                                                   std::vector<int>(ids.begin() + from, ids.begin() + to), ox, oy));
    from = to;
  } while (from < ids.size());
}

}  // namespace kiv_wb
