// The undo entry of a drag of selected graphs: apply sends the whole move again, revert the
// move back.
#pragma once

#include <vector>

#include "wb/model/local_command_base.h"

namespace kiv_wb {

class LocalGraphsMoveCommand : public LocalCommandBase {
 public:
  LocalGraphsMoveCommand(int pid, const std::vector<int>& graphIds, int ox, int oy)
      : m_pid(pid), m_ox(ox), m_oy(oy), m_graphIds(graphIds) {}

  bool Execute(Board&) override { return false; }
  bool Apply(Board& board) override { return SendMove(board, m_ox, m_oy); }
  bool Revert(Board& board) override { return SendMove(board, -m_ox, -m_oy); }

 private:
  bool SendMove(Board& board, int ox, int oy);

  int m_pid, m_ox, m_oy;
  std::vector<int> m_graphIds;
};

}  // namespace kiv_wb
