// Drawing a straight line: an add on the press, throttled modifies while dragging (the local
// page follows every move), a final modify on the release.
#pragma once

#include "wb/model/local_command_base.h"

namespace kiv_wb {

class GraphLine;

class FourPointGraphLocalCommand : public LocalCommandBase {
 public:
  static constexpr uint64_t kSendIntervalUs = 100000;

  FourPointGraphLocalCommand() = default;
  // For an existing line (erasing it): start and current position are its two points.
  explicit FourPointGraphLocalCommand(std::shared_ptr<GraphLine> graph);

  bool Execute(Board& board) override;
  // Sends the line's add.
  bool Apply(Board& board) override;
  // Sends the line's delete.
  bool Revert(Board& board) override;
  void SetReverse(bool reverse) override { m_reverse = reverse; }
  bool IsReverse() const override { return m_reverse; }

 private:
  void SendLine(Board& board, int action);

  int32_t m_startX = 0;
  int32_t m_startY = 0;
  bool m_reverse = false;
  uint64_t m_lastSend = 0;
  std::shared_ptr<GraphLine> m_graph;
};

}  // namespace kiv_wb
