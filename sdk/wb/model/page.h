// One page of a board: its graphs in drawing order (the last on top), the selection and the
// undo and redo histories of local editing commands. Every operation holds the page's lock,
// so updates from the network thread and the user interface's edits and drawing do not mix.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "wb/model/board_rect.h"
#include "wb/paint/board_painter.h"
#include "wb/paint/int_point.h"

namespace kiv_wb {

class Board;
class BoardPainter;
class GraphBase;
class LocalCommandBase;

class Page {
 public:
  static constexpr size_t kMaxUndo = 32;

  Page(int id, Board* board) : m_id(id), m_board(board) {}
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  int GetId() const { return m_id; }

  // Replaces the graph with the same id in its place, else appends.
  void AddGraph(const std::shared_ptr<GraphBase>& graph);
  // Replaces the graph with the same id; nothing when there is none.
  void ReplaceGraph(const std::shared_ptr<GraphBase>& graph);
  void RemoveGraph(uint32_t graphId);
  // Puts the graph with that id on top of the drawing order; false when there is none.
  bool RaiseGraph(uint32_t graphId);
  // False, nothing moved, when there is no such graph or a coordinate of it would leave
  // the board bounds.
  bool MoveGraph(uint32_t graphId, int32_t dx, int32_t dy);
  void SetLinePoints(uint32_t graphId, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  // Refused (false, nothing appended) when the path would exceed kMaxPathPoints.
  bool AppendPathPoints(uint32_t graphId, const std::vector<IntPoint>& points);
  std::shared_ptr<GraphBase> FindGraph(uint32_t graphId) const;
  // Graphs in drawing order.
  std::vector<std::shared_ptr<GraphBase>> GetGraphs() const;
  size_t GetGraphCount() const;
  // Returns the number of graphs removed.
  int Clear();

  int ClearUndo();
  int ClearRedo();
  int GetUndoCount() const;
  int GetRedoCount() const;
  void PushUndo(const std::shared_ptr<LocalCommandBase>& command);
  void PushUndoFromRedo(const std::shared_ptr<LocalCommandBase>& command);
  void PushRedo(const std::shared_ptr<LocalCommandBase>& command);
  std::shared_ptr<LocalCommandBase> PopUndo();
  std::shared_ptr<LocalCommandBase> PopRedo();
  // Takes the command out of both histories; false when it is in neither.
  bool ForgetCommand(const std::shared_ptr<LocalCommandBase>& command);

  std::string GetImagePath() const;
  void SetImagePath(const std::string& path);

  void Draw(BoardPainter& painter);
  // The point count of a free-hand path and its point at `index` (the last one by default,
  // none when there is no such point); false when there is no such path.
  bool GetPathEnd(uint32_t graphId, size_t* count, IntPoint* point, size_t index = SIZE_MAX) const;
  // The bounds of what a path draws from point `from` on, and its brush size.
  BoardRect GetPathPartRect(uint32_t graphId, size_t from, int* brushSize) const;
  // Draws the page as Draw does, with only the graphs that may reach into `area` (board
  // units, pens of up to `brushSize` pixels around it); the canvas is clipped to it.
  void DrawArea(BoardPainter& painter, const BoardRect& area, int brushSize);

  int SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  int SelectNear(int32_t x, int32_t y, int32_t extra);
  int SelectAt(int32_t x, int32_t y);
  void ClearSelection();
  void UpdateSelectionRect();
  BoardRect GetSelectionRect() const;
  std::set<uint32_t> GetSelectedIds() const;
  std::vector<std::shared_ptr<GraphBase>> GetSelectedGraphs() const;

 private:
  using Guard = std::lock_guard<std::recursive_mutex>;
  std::vector<std::shared_ptr<GraphBase>>::iterator Find(uint32_t graphId);
  void DropOldestUndoWhenFull();
  // The frame around a multiple selection (of `selected` graphs).
  void DrawSelectionFrame(BoardPainter& painter, int selected) const;

  const int m_id;
  Board* const m_board;
  std::string m_imagePath;
  std::vector<std::shared_ptr<GraphBase>> m_graphs;
  mutable std::recursive_mutex m_lock;
  BoardRect m_selection;
  std::list<std::shared_ptr<LocalCommandBase>> m_undo;
  std::list<std::shared_ptr<LocalCommandBase>> m_redo;
};

}  // namespace kiv_wb
