#include <gtest/gtest.h>

#include "wb/board_controller.h"
#include "wb/local_commands/path_graph_local_command.h"
#include "wb/model/board_limits.h"
#include "wb/model/board_snapshot.h"
#include "wb/testing/board_controller_testing.h"

namespace kiv_wb {
namespace {

class LocalCommandsTest : public ::testing::Test {
 protected:
  LocalCommandsTest() {
    controller.SetCanvas(&canvas);
    controller.SetNet(&net);
    controller.SetEditView(&view);
    controller.GetEditSettings().SetClock([this] { return now; });
    controller.GetBoard().SetEditId(5);
  }
  // Nothing of the SDK is held across a call into the network.
  void TearDown() override { EXPECT_EQ(net.sendsUnderLock, 0); }
  Page& Page0() { return *controller.GetBoard().FindPage(0); }
  std::vector<BoardMsgHeader> Headers() const {
    std::vector<BoardMsgHeader> out;
    for (const auto& s : net.sent) {
      out.push_back(ReadBoardMsgHeader(s.c_str(), s.size()));
    }
    return out;
  }
  int Actions(const char* type, int action) const {
    const std::string key = std::string("\"type\":\"") + type + "\"";
    const std::string act = "\"action\":" + std::to_string(action);
    int n = 0;
    for (const auto& s : net.sent) {
      n += s.find(key) != std::string::npos && s.find(act) != std::string::npos ? 1 : 0;
    }
    return n;
  }
  void DrawLine(int x1, int y1, int x2, int y2) {
    controller.OnMouseDown(x1, y1);
    controller.OnMouseMove(x2, y2);
    controller.OnMouseUp(x2, y2);
  }

  uint64_t now = 1000000;
  RecordingCanvas canvas;
  RecordingNet net;
  FakeEditView view;
  BoardController controller;
};

// Verifies the line's throttle: add on press, modifies at 100 ms and 200 ms of dragging and
// on release; one undo entry; numbered with the board's counter and edit id.
TEST_F(LocalCommandsTest, LineSendsThrottledModifies) {
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphLine);
  net.sent.clear();
  controller.OnMouseDown(10, 10);
  for (int ms = 10; ms <= 240; ms += 10) {
    now = 1000000 + ms * 1000;
    controller.OnMouseMove(10 + ms, 10);
  }
  now = 1250000;
  controller.OnMouseUp(300, 10);
  EXPECT_EQ(Actions("line", 1), 1);
  EXPECT_EQ(Actions("line", 2), 3);
  EXPECT_NE(net.sent[1].find("\"x2\":110"), std::string::npos);
  EXPECT_NE(net.sent[2].find("\"x2\":210"), std::string::npos);
  EXPECT_EQ(Headers()[3].cli_seq_id, 4u);
  EXPECT_EQ(Headers()[3].edit_id, 5);
  EXPECT_EQ(controller.GetUndoCount(), 1);
  EXPECT_EQ(DescribePage(Page0()).find("10,10 300,10") != std::string::npos, true);
  // Between sends the local page follows every move.
  controller.OnMouseDown(0, 0);
  now += 20000;
  controller.OnMouseMove(50, 60);
  EXPECT_NE(DescribePage(Page0()).find("0,0 50,60"), std::string::npos);
}

// Verifies that a click with the line tool sends an add and one modify of a point.
TEST_F(LocalCommandsTest, LineClick) {
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphLine);
  net.sent.clear();
  controller.OnMouseDown(40, 40);
  controller.OnMouseUp(40, 40);
  ASSERT_EQ(net.sent.size(), 2u);
  EXPECT_NE(net.sent[1].find("\"x1\":40,\"y1\":40,\"x2\":40,\"y2\":40"), std::string::npos);
  EXPECT_EQ(controller.GetUndoCount(), 1);
}

// Verifies the path: a click sends only the add; a stroke sends the points since the last
// send every 50 ms, and the local page ends equal to the command's path.
TEST_F(LocalCommandsTest, PathSends) {
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphPath);
  net.sent.clear();
  controller.OnMouseDown(5, 5);
  controller.OnMouseUp(5, 5);
  EXPECT_EQ(net.sent.size(), 1u);
  controller.OnMouseDown(100, 100);
  for (int i = 1; i <= 22; ++i) {
    now += 10000;
    controller.OnMouseMove(100 + i * 3, 100 + (i * i) % 17);
  }
  controller.OnMouseUp(170, 120);
  EXPECT_EQ(Actions("curve", 1), 2);
  EXPECT_EQ(Actions("curve", 2), 5);
  const auto graphs = Page0().GetGraphs();
  ASSERT_EQ(graphs.size(), 2u);
  EXPECT_GE(static_cast<GraphPath&>(*graphs[1]).GetPoints().size(), 10u);
  // A receiver applying what was sent gets the same page.
  EditSettings settings(1, nullptr);
  Board receiver(&settings);
  for (const auto& s : net.sent) {
    ParseBoardCommand(s.c_str(), s.size(), &receiver)->Apply(receiver);
  }
  EXPECT_EQ(DescribePage(*receiver.FindPage(0)), DescribePage(Page0()));
}

// Verifies that a path stops taking points once it has sent as many as every board keeps of
// one path: the drawer's page, its own drawing of the path and a receiver hold the same points,
// and the path's redo sends an add a receiver reads.
TEST_F(LocalCommandsTest, PathStopsAtThePointLimit) {
  Board& board = controller.GetBoard();
  auto path = std::make_shared<PathGraphLocalCommand>();
  path->SetSettings(&controller.GetEditSettings());
  path->SetStep(kPhasePress, 0, 0);
  path->Execute(board);
  const int moves = static_cast<int>(kMaxPathPoints) + 500;
  for (int i = 1; i <= moves; ++i) {
    now += 10000;
    // A zigzag: every point is kept.
    path->SetStep(kPhaseDrag, i % 30000, (i / 30000) * 40 + i % 2 * 10);
    path->Execute(board);
  }
  path->SetStep(kPhaseRelease, 5, 5);
  EXPECT_TRUE(path->Execute(board));
  const auto drawn = std::static_pointer_cast<GraphPath>(path->GetDrawingGraph());
  const auto kept = std::static_pointer_cast<GraphPath>(Page0().GetGraphs().at(0));
  EXPECT_EQ(drawn->GetPoints().size(), kept->GetPoints().size());
  EXPECT_LE(kept->GetPoints().size(), kMaxPathPoints);
  EXPECT_GE(kept->GetPoints().size(), kMaxPathPoints - 8);
  EditSettings settings(1, nullptr);
  Board receiver(&settings);
  for (const auto& s : net.sent) {
    ParseBoardCommand(s.c_str(), s.size(), &receiver)->Apply(receiver);
  }
  EXPECT_EQ(DescribePage(*receiver.FindPage(0)), DescribePage(Page0()));
  net.sent.clear();
  path->Apply(board);
  ASSERT_FALSE(net.sent.empty());
  for (const auto& s : net.sent) {
    EXPECT_LE(s.size(), kiv_proto::kMaxBoardUpdateBytes);
    EXPECT_NE(ParseBoardCommand(s.c_str(), s.size(), &receiver), nullptr);
  }
}

// Verifies that a long stroke drawn faster than the throttle and its redo go as updates within
// the one update limit (an add and modifies), which a receiver rebuilds as the drawer's page.
TEST_F(LocalCommandsTest, LongStrokeAndItsRedoStayWithinTheUpdateLimit) {
  Board& board = controller.GetBoard();
  auto path = std::make_shared<PathGraphLocalCommand>();
  path->SetSettings(&controller.GetEditSettings());
  path->SetStep(kPhasePress, 0, 0);
  path->Execute(board);
  for (int i = 1; i <= 9000; ++i) {
    path->SetStep(kPhaseDrag, i % 1000, (i / 1000) * 40 + i % 2 * 10);  // no time passes: one burst
    path->Execute(board);
  }
  path->SetStep(kPhaseRelease, 5, 5);
  EXPECT_TRUE(path->Execute(board));
  EXPECT_TRUE(path->Revert(board));  // undo
  EXPECT_TRUE(path->Apply(board));   // redo
  EditSettings settings(1, nullptr);
  Board receiver(&settings);
  for (const auto& s : net.sent) {
    EXPECT_LE(s.size(), kiv_proto::kMaxBoardUpdateBytes);
    auto command = ParseBoardCommand(s.c_str(), s.size(), &receiver);
    ASSERT_NE(command, nullptr);
    command->Apply(receiver);
  }
  ASSERT_EQ(Page0().GetGraphCount(), 1u);
  EXPECT_GT(std::static_pointer_cast<GraphPath>(Page0().GetGraphs()[0])->GetPoints().size(), 8000u);
  EXPECT_EQ(DescribePage(*receiver.FindPage(0)), DescribePage(Page0()));
}

// Verifies text entry: an empty box closed by a press sends nothing and leaves no undo
// entry; a typed text is sent, undone as a delete and redone as an add.
TEST_F(LocalCommandsTest, TextEntry) {
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphText);
  net.sent.clear();
  controller.OnMouseDown(100, 100);
  controller.OnMouseUp(100, 100);
  EXPECT_TRUE(view.visible);
  controller.OnMouseDown(300, 300);
  controller.OnMouseUp(300, 300);
  EXPECT_FALSE(view.visible);
  EXPECT_TRUE(net.sent.empty());
  EXPECT_EQ(controller.GetUndoCount(), 0);
  controller.OnMouseDown(200, 200);
  controller.OnMouseUp(200, 200);
  view.text = "hello";
  controller.OnMouseDown(600, 600);
  controller.OnMouseUp(600, 600);
  ASSERT_EQ(net.sent.size(), 1u);
  EXPECT_NE(net.sent[0].find("\"text\":\"hello\",\"left\":200,\"top\":200"), std::string::npos);
  EXPECT_EQ(controller.GetUndoCount(), 1);
  EXPECT_EQ(Page0().GetGraphCount(), 1u);
  controller.Undo();
  EXPECT_EQ(Actions("text", 3), 1);
  EXPECT_EQ(Page0().GetGraphCount(), 0u);
  controller.Redo();
  EXPECT_EQ(Actions("text", 1), 2);
  EXPECT_EQ(Page0().GetGraphCount(), 1u);
}

// Verifies dragging a selection: throttled moves, one undo entry whose undo moves back by the
// whole offset; a release with the same x selects at the press point.
TEST_F(LocalCommandsTest, SelectAndMove) {
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphLine);
  DrawLine(100, 100, 200, 100);
  DrawLine(100, 300, 200, 300);
  controller.SetOperation(kOpSelect);
  const int before = controller.GetUndoCount();
  controller.OnMouseDown(150, 100);
  controller.OnMouseUp(150, 100);
  EXPECT_EQ(Page0().GetSelectedIds().size(), 1u);
  net.sent.clear();
  controller.OnMouseDown(150, 100);
  for (int i = 1; i <= 10; ++i) {
    now += 30000;
    controller.OnMouseMove(150 + i * 5, 100 + i * 2);
  }
  controller.OnMouseUp(200, 140);
  EXPECT_EQ(net.sent.size(), 3u);
  EXPECT_NE(DescribePage(Page0()).find("150,140 250,140"), std::string::npos);
  EXPECT_EQ(controller.GetUndoCount(), before + 1);
  controller.Undo();
  EXPECT_NE(DescribePage(Page0()).find("100,100 200,100"), std::string::npos);
  EXPECT_NE(net.sent.back().find("\"ox\":-50,\"oy\":-40"), std::string::npos);
  controller.Redo();
  EXPECT_NE(DescribePage(Page0()).find("150,140 250,140"), std::string::npos);
  // Press outside, release at the same x: selects at the press point.
  controller.OnMouseDown(150, 300);
  controller.OnMouseUp(150, 500);
  EXPECT_EQ(Page0().GetSelectedIds().size(), 1u);
  // A rubber band selects both.
  controller.OnMouseDown(0, 0);
  controller.OnMouseUp(700, 700);
  EXPECT_EQ(Page0().GetSelectedIds().size(), 2u);
  // A double-click without a selected text does nothing.
  EXPECT_TRUE(controller.OnDoubleClick(150, 300));
  EXPECT_EQ(Page0().GetGraphCount(), 2u);
}

// Verifies the eraser: three graphs crossed, three undo entries; one undo brings the last
// erased back under its id.
TEST_F(LocalCommandsTest, EraserAndUndo) {
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphLine);
  DrawLine(100, 0, 100, 400);
  controller.SetGraphType(kGraphPath);
  controller.OnMouseDown(200, 0);
  now += 60000;
  controller.OnMouseMove(200, 400);
  controller.OnMouseUp(200, 400);
  controller.SetGraphType(kGraphLine);
  DrawLine(300, 0, 300, 400);
  const auto ids = Page0().GetGraphs();
  controller.SetOperation(kOpDelete);
  const int before = controller.GetUndoCount();
  controller.OnMouseDown(50, 200);
  for (int x = 60; x <= 350; x += 10) {
    controller.OnMouseMove(x, 200);
  }
  controller.OnMouseUp(350, 200);
  EXPECT_EQ(Page0().GetGraphCount(), 0u);
  EXPECT_EQ(controller.GetUndoCount(), before + 3);
  controller.Undo();
  ASSERT_EQ(Page0().GetGraphCount(), 1u);
  EXPECT_EQ(Page0().GetGraphs()[0]->GetId(), ids[2]->GetId());
  controller.Undo();
  controller.Undo();
  EXPECT_EQ(Page0().GetGraphCount(), 3u);
  controller.Redo();
  EXPECT_EQ(Page0().GetGraphCount(), 2u);
}

// Verifies that a double-click on a selected text opens it for editing; the next press
// sends the edit as a modify.
TEST_F(LocalCommandsTest, DoubleClickEditsText) {
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphText);
  controller.OnMouseDown(100, 100);
  view.text = "one";
  controller.OnMouseDown(600, 600);
  controller.OnMouseUp(600, 600);
  controller.SetOperation(kOpSelect);
  controller.OnMouseDown(120, 110);
  controller.OnMouseUp(120, 110);
  EXPECT_TRUE(controller.OnDoubleClick(120, 110));
  EXPECT_TRUE(view.visible);
  EXPECT_EQ(view.text, "one");
  view.text = "two";
  net.sent.clear();
  controller.OnMouseDown(600, 600);
  controller.OnMouseUp(600, 600);
  ASSERT_FALSE(net.sent.empty());
  EXPECT_NE(net.sent[0].find("\"action\":2,\"text\":\"two\""), std::string::npos);
  EXPECT_NE(DescribePage(Page0()).find("[two]"), std::string::npos);
}

}  // namespace
}  // namespace kiv_wb
