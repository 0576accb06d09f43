#include "wb/local_commands/local_graphs_move_command.h"

#include "wb/local_commands/update_sender.h"
#include "wb/message/update_commands.h"
#include "wb/model/board.h"

namespace kiv_wb {

bool LocalGraphsMoveCommand::SendMove(Board& board, int ox, int oy) {
  auto page = board.FindPage(m_pid);
  if (!page) {
    return false;
  }
  SendGraphsMove(m_settings, board, m_pid, m_graphIds, ox, oy);
  page->UpdateSelectionRect();
  return true;
}

}  // namespace kiv_wb
