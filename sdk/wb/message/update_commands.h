// The update commands: one change of a board in a form that is both sent and applied. A
// local gesture builds one, the controller writes, applies and sends it; a received message
// is read into the same class and applied.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wb/message/board_command_base.h"
#include "wb/paint/int_point.h"

namespace kiv_wb {

class GraphText;

class FourPointGraphUpdateCommand : public BoardCommandBase {
 public:
  FourPointGraphUpdateCommand(uint32_t cliSeqId, uint32_t editId, int pid, int gid, int action, int graph,
                              int brushSize, uint32_t color, int x1, int y1, int x2, int y2);
  std::string ToJson() override;
  bool Apply(Board& board) override;

  uint32_t cli_seq_id, edit_id;
  int pid, gid, brush_size;
  uint32_t color;
  int action, graph, x1, y1, x2, y2;
};

class PathGraphUpdateCommand : public BoardCommandBase {
 public:
  PathGraphUpdateCommand(uint32_t cliSeqId, uint32_t editId, int pid, int gid, int action, int brushSize,
                         uint32_t color, const std::vector<IntPoint>& points);
  std::string ToJson() override;
  bool Apply(Board& board) override;

  uint32_t cli_seq_id, edit_id;
  int pid, gid, brush_size;
  uint32_t color;
  int action;
  std::vector<IntPoint> points;
};

class TextGraphUpdateCommand : public BoardCommandBase {
 public:
  TextGraphUpdateCommand(uint32_t cliSeqId, uint32_t editId, int pid, int gid, int action,
                         std::shared_ptr<GraphText> graph);
  std::string ToJson() override;
  bool Apply(Board& board) override;

  uint32_t cli_seq_id, edit_id;
  int pid, gid, action;
  std::shared_ptr<GraphText> graph;
};

class PageUpdateCommand : public BoardCommandBase {
 public:
  PageUpdateCommand(uint32_t cliSeqId, uint32_t editId, int action, int pid);
  std::string ToJson() override;
  bool Apply(Board& board) override;

  int action;
  uint32_t cli_seq_id, edit_id;
  int pid;
};

class GraphsMoveCommand : public BoardCommandBase {
 public:
  GraphsMoveCommand(uint32_t cliSeqId, uint32_t editId, int pid, const std::vector<int>& graphs, int ox, int oy);
  std::string ToJson() override;
  bool Apply(Board& board) override;

  uint32_t cli_seq_id, edit_id;
  int pid, ox, oy;
  std::vector<int> graphs;
};

// The "board" element of a full board state; never sent.
class BoardFullUpdateCommand : public BoardCommandBase {
 public:
  BoardFullUpdateCommand(const std::string& boardName, int boardType, int width, int height, int page, int currentPid,
                         const std::string& filePath, const std::string& convertFilePath);
  std::string ToJson() override { return std::string(); }
  bool Apply(Board& board) override;

  int board_type;
  std::string board_name, file_path, convert_file_path;
  int width, height, page, current_pid;
};

}  // namespace kiv_wb
