// Drawing a free-hand path: an add on the press, throttled modifies carrying the points
// since the previous send, the rest on the release. The command's own path is drawn over the
// board meanwhile.
#pragma once

#include <vector>

#include "wb/model/local_command_base.h"
#include "wb/paint/int_point.h"

namespace kiv_wb {

class GraphPath;

class PathGraphLocalCommand : public LocalCommandBase {
 public:
  static constexpr uint64_t kSendIntervalUs = 50000;

  PathGraphLocalCommand() = default;
  explicit PathGraphLocalCommand(std::shared_ptr<GraphPath> graph);

  bool Execute(Board& board) override;
  // Sends the path's add with all its points.
  bool Apply(Board& board) override;
  // Sends the path's delete.
  bool Revert(Board& board) override;
  std::shared_ptr<GraphBase> GetDrawingGraph() override;
  void SetReverse(bool reverse) override { m_reverse = reverse; }
  bool IsReverse() const override { return m_reverse; }

 private:
  void SendPath(Board& board, int action, const std::vector<IntPoint>& points);
  // Takes a pointer position into the path and the pending points; false, nothing taken,
  // once the path has sent as many points as every board keeps of one path.
  bool TakePoint();

  uint64_t m_lastSend = 0;
  std::vector<IntPoint> m_pending;
  size_t m_sentPoints = 0;
  std::shared_ptr<GraphPath> m_graph;
  bool m_reverse = false;
};

}  // namespace kiv_wb
