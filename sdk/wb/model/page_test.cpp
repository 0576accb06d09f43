#include <gtest/gtest.h>

#include "wb/model/board.h"
#include "wb/model/edit_settings.h"
#include "wb/model/graph_line.h"
#include "wb/model/graph_text.h"
#include "wb/model/local_command_base.h"
#include "wb/paint/testing/recording_canvas.h"

namespace kiv_wb {
namespace {

class NoopCommand : public LocalCommandBase {
 public:
  explicit NoopCommand(int tag) : tag(tag) {}
  bool Execute(Board&) override { return true; }
  int tag;
};

std::shared_ptr<GraphLine> Line(uint32_t id, int x1, int y1, int x2, int y2) {
  auto line = std::make_shared<GraphLine>(id, nullptr, 0);
  line->SetPen(6, 0xFF000000);
  line->SetPoints(x1, y1, x2, y2);
  return line;
}

int Tag(const std::shared_ptr<LocalCommandBase>& c) { return static_cast<NoopCommand&>(*c).tag; }

// Verifies a new board: one page with id 0 shown, 1280 x 720, page-change sync on.
TEST(BoardModelTest, NewBoard) {
  EditSettings settings(1, nullptr);
  Board board(&settings);
  EXPECT_EQ(board.GetPageCount(), 1);
  ASSERT_NE(board.GetCurrentPage(), nullptr);
  EXPECT_EQ(board.GetCurrentPage()->GetId(), 0);
  EXPECT_EQ(board.GetWidth(), 1280);
  EXPECT_EQ(board.GetHeight(), 720);
  EXPECT_TRUE(board.GetPageChangeSynMode());
  EXPECT_EQ(board.NextCliSeqId(), 1u);
  EXPECT_EQ(board.NextCliSeqId(), 2u);
  EXPECT_EQ(board.FindPage(1), nullptr);
  board.SetCurrentPageIndex(3);
  EXPECT_EQ(board.GetCurrentPage(), nullptr);
}

// Verifies that a remote page choice is shown only with sync on, and kept for later.
TEST(BoardModelTest, RemotePageIndex) {
  EditSettings settings(1, nullptr);
  Board board(&settings);
  board.SetPageChangeSynMode(false);
  board.SetRemotePageIndex(2);
  EXPECT_EQ(board.GetCurrentPageIndex(), 0);
  board.ApplyRemotePageIndex();
  EXPECT_EQ(board.GetCurrentPageIndex(), 2);
}

// Verifies the undo cap, the redo reset on a new push and its keeping on a push from redo.
TEST(PageTest, Histories) {
  Page page(0, nullptr);
  EXPECT_EQ(page.PopUndo(), nullptr);
  for (int i = 1; i <= 33; ++i) {
    page.PushUndo(std::make_shared<NoopCommand>(i));
  }
  EXPECT_EQ(page.GetUndoCount(), 32);
  auto newest = page.PopUndo();
  EXPECT_EQ(Tag(newest), 33);
  page.PushRedo(newest);
  page.PushUndoFromRedo(page.PopRedo());
  EXPECT_EQ(page.GetRedoCount(), 0);
  page.PushRedo(page.PopUndo());
  page.PushUndoFromRedo(std::make_shared<NoopCommand>(50));
  EXPECT_EQ(page.GetRedoCount(), 1);
  page.PushUndo(std::make_shared<NoopCommand>(51));
  EXPECT_EQ(page.GetRedoCount(), 0);
  while (page.GetUndoCount() > 1) {
    page.PopUndo();
  }
  EXPECT_EQ(Tag(page.PopUndo()), 3);
}

// Verifies replacement in place, raising, removal and the graph order.
TEST(PageTest, GraphListOrder) {
  Page page(0, nullptr);
  page.AddGraph(Line(1, 0, 0, 10, 10));
  page.AddGraph(Line(2, 0, 0, 10, 10));
  page.AddGraph(Line(3, 0, 0, 10, 10));
  auto replacement = Line(1, 5, 5, 6, 6);
  page.AddGraph(replacement);
  EXPECT_EQ(page.GetGraphs().front(), replacement);
  page.ReplaceGraph(Line(9, 0, 0, 1, 1));
  EXPECT_EQ(page.GetGraphCount(), 3u);
  EXPECT_TRUE(page.RaiseGraph(1));
  EXPECT_EQ(page.GetGraphs().back()->GetId(), 1u);
  EXPECT_FALSE(page.RaiseGraph(9));
  page.RemoveGraph(2);
  EXPECT_EQ(page.GetGraphs().front()->GetId(), 3u);
  EXPECT_FALSE(page.MoveGraph(2, 1, 1));
  EXPECT_FALSE(page.MoveGraph(3, 1 << 30, 0));
  EXPECT_EQ(page.Clear(), 2);
}

// Verifies the selections: topmost at a point, by rectangle with the united rectangle, near
// with tolerance, and clearing.
TEST(PageTest, Selection) {
  Page page(0, nullptr);
  page.AddGraph(Line(1, 0, 50, 100, 50));
  page.AddGraph(Line(2, 50, 0, 50, 100));
  EXPECT_EQ(page.SelectAt(50, 50), 1);
  EXPECT_EQ(page.GetSelectedIds(), (std::set<uint32_t>{2}));
  EXPECT_EQ(page.GetSelectionRect(), (BoardRect{44, -6, 56, 106}));
  EXPECT_EQ(page.SelectByRect(0, 0, 100, 100), 2);
  EXPECT_EQ(page.GetSelectionRect(), (BoardRect{-6, -6, 106, 106}));
  EXPECT_EQ(page.SelectNear(80, 60, 15), 1);
  EXPECT_TRUE(page.GetSelectionRect().IsEmpty());
  page.UpdateSelectionRect();
  EXPECT_EQ(page.GetSelectionRect(), (BoardRect{-6, 44, 106, 56}));
  page.ClearSelection();
  EXPECT_TRUE(page.GetSelectedGraphs().empty());
  EXPECT_EQ(page.SelectAt(500, 500), 0);
}

// Verifies that -1 edges count as unset when rectangles are united.
TEST(PageTest, RectUnionTreatsMinusOneAsUnset) {
  BoardRect r;
  r.Unite(5, 6, 7, 8);
  EXPECT_EQ(r, (BoardRect{5, 6, 7, 8}));
  BoardRect s{-1, 0, 10, 10};
  s.Unite(3, 3, 4, 4);
  EXPECT_EQ(s, (BoardRect{3, 0, 10, 10}));
}

// Verifies page drawing: white or the image as background, graphs in order, and the group
// frame only for two or more selected graphs.
TEST(PageTest, Draw) {
  RecordingCanvas canvas;
  BoardPainter painter;
  painter.SetCanvas(&canvas);
  Page page(0, nullptr);
  page.AddGraph(Line(1, 0, 50, 100, 50));
  page.AddGraph(Line(2, 50, 0, 50, 100));
  page.SelectAt(50, 50);
  page.Draw(painter);
  EXPECT_EQ(canvas.calls.front(), "clear 255 255 255");
  EXPECT_EQ(canvas.Count("rect"), 1);
  canvas.calls.clear();
  page.SelectByRect(-10, -10, 110, 110);
  page.SetImagePath("bg.jpg");
  page.Draw(painter);
  EXPECT_EQ(canvas.calls.front(), "background bg.jpg");
  EXPECT_EQ(canvas.Count("rect"), 3);
  EXPECT_EQ(canvas.calls[canvas.calls.size() - 2], "rect -12 -12 112 112");
}

}  // namespace
}  // namespace kiv_wb
