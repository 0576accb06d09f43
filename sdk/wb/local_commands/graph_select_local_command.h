// The select tool: a press inside the selection drags the selected graphs (throttled moves,
// one undo entry for the whole drag); elsewhere it draws a rubber band and selects by
// rectangle or at the point. A double-click on a selected text starts editing it.
#pragma once

#include "wb/model/local_command_base.h"

namespace kiv_wb {

class Page;

class GraphSelectLocalCommand : public LocalCommandBase {
 public:
  static constexpr uint64_t kSendIntervalUs = 100000;

  bool Execute(Board& board) override;

 private:
  void SendMove(Board& board, Page& page, int32_t ox, int32_t oy);
  void Redraw(Board& board, bool withRubberBand);

  int32_t m_startX = 0, m_startY = 0;
  int32_t m_lastX = 0, m_lastY = 0;
  bool m_dragging = false;
  bool m_rubberBand = false;
  uint64_t m_lastSend = 0;
};

}  // namespace kiv_wb
