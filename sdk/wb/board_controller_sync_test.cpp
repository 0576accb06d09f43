#include <gtest/gtest.h>

#include <random>

#include "wb/board_controller.h"
#include "wb/model/board_limits.h"
#include "wb/model/board_snapshot.h"
#include "wb/model/graph_line.h"
#include "wb/testing/board_controller_testing.h"

namespace kiv_wb {
namespace {

class BoardSyncTest : public ::testing::Test {
 protected:
  BoardSyncTest() : a(service.Join(ca)), b(service.Join(cb)) {
    // Graph ids differ by their prefix, taken from the clock when each board was opened.
    ca.GetEditSettings().SetGraphIdPrefix(0x1111);
    cb.GetEditSettings().SetGraphIdPrefix(0x2222);
    for (BoardController* c : {&ca, &cb}) {
      c->GetEditSettings().SetClock([this] { return now; });
    }
    service.DeliverAll();
    ca.SetOperation(kOpDraw);
    cb.SetOperation(kOpDraw);
    service.DeliverAll();
  }

  // A stroke of n moves, 20 ms apart, with deliveries to both sides interleaved at random.
  void Stroke(BoardController& c, int kind, int x, int y, int n) {
    c.SetGraphType(kind);
    c.OnMouseDown(x, y);
    for (int i = 1; i <= n; ++i) {
      now += 20000;
      c.OnMouseMove(x + i * 7, y + (i * i * 3) % 41);
      DeliverSome();
    }
    c.OnMouseUp(x + n * 7 + 3, y + 5);
  }
  void DeliverSome() {
    for (int i = 0; i < static_cast<int>(rng() % 3); ++i) {
      service.DeliverOne(rng() % 2 ? a : b);
    }
  }
  // Nothing of the SDK is held across a call into the network.
  void TearDown() override {
    EXPECT_EQ(a.sendsUnderLock, 0);
    EXPECT_EQ(b.sendsUnderLock, 0);
  }
  size_t Graphs(BoardController& c, int page = 0) { return c.GetBoard().FindPage(page)->GetGraphCount(); }
  void ExpectSame() {
    service.DeliverAll();
    EXPECT_EQ(DescribeBoard(ca.GetBoard()), DescribeBoard(service.ServerBoard()));
    EXPECT_EQ(DescribeBoard(cb.GetBoard()), DescribeBoard(service.ServerBoard()));
  }

  uint64_t now = 5000000;
  // Each fixture takes the next seed, so that repeated runs try other interleavings.
  static inline unsigned s_seed = 11;
  std::mt19937 rng{s_seed++};
  LoopbackBoardService service;
  BoardController ca, cb;
  LoopbackBoardService::Client& a;
  LoopbackBoardService::Client& b;
};

// Verifies that two participants drawing at the same time, 100 strokes each with every
// interleaving of deliveries, end with the same graphs in the same order and lose nothing.
TEST_F(BoardSyncTest, ConcurrentStrokesConverge) {
  EXPECT_EQ(ca.GetBoard().GetEditId(), 1);
  EXPECT_EQ(cb.GetBoard().GetEditId(), 2);
  for (int i = 0; i < 100; ++i) {
    Stroke(ca, i % 3 == 0 ? kGraphLine : kGraphPath, 10 + (i * 13) % 900, 20 + (i * 7) % 600, 3 + i % 9);
    Stroke(cb, i % 4 == 0 ? kGraphLine : kGraphPath, 30 + (i * 17) % 900, 40 + (i * 11) % 600, 2 + i % 7);
  }
  ExpectSame();
  EXPECT_EQ(Graphs(ca), 200u);
}

// Verifies moves, erasing, page switches, clearing and undo across participants.
TEST_F(BoardSyncTest, EditsSeenOnBothSides) {
  Stroke(ca, kGraphLine, 100, 100, 10);
  Stroke(ca, kGraphPath, 100, 300, 10);
  service.DeliverAll();
  // B selects A's line and drags it.
  cb.SetOperation(kOpSelect);
  cb.OnMouseDown(130, 100);
  cb.OnMouseUp(130, 100);
  ASSERT_EQ(cb.GetBoard().FindPage(0)->GetSelectedIds().size(), 1u);
  cb.OnMouseDown(130, 100);
  for (int i = 1; i <= 12; ++i) {
    now += 30000;
    cb.OnMouseMove(130 + i * 10, 100 + i * 5);
    DeliverSome();
  }
  cb.OnMouseUp(250, 160);
  ExpectSame();
  EXPECT_NE(DescribeBoard(ca.GetBoard()).find("220,160"), std::string::npos);
  // A erases the curve, then undoes and redoes it.
  ca.SetOperation(kOpDelete);
  ca.OnMouseDown(130, 300);
  ca.OnMouseUp(130, 300);
  ExpectSame();
  EXPECT_EQ(Graphs(cb), 1u);
  ca.Undo();
  ExpectSame();
  EXPECT_EQ(Graphs(cb), 2u);
  ca.Redo();
  ExpectSame();
  EXPECT_EQ(Graphs(cb), 1u);
  // B undoes its move: A sees the line back in place.
  cb.Undo();
  ExpectSame();
  EXPECT_NE(DescribeBoard(ca.GetBoard()).find("100,100 "), std::string::npos);
  // A adds a page, switches to it and draws; B follows; A clears page 1.
  PageUpdateCommand add(ca.GetBoard().NextCliSeqId(), 1, kPageAdd, 0);
  ca.OnUpdateCommand(std::make_shared<PageUpdateCommand>(add));
  ca.SetOperation(kOpDraw);
  ca.SetCurrentPage(1);
  Stroke(ca, kGraphLine, 500, 500, 4);
  ExpectSame();
  EXPECT_EQ(cb.GetCurrentPage(), 1);
  EXPECT_EQ(Graphs(cb, 1), 1u);
  ca.ClearCurrentPage();
  ExpectSame();
  EXPECT_EQ(Graphs(cb, 1), 0u);
  EXPECT_EQ(Graphs(cb, 0), 1u);
}

// Verifies a page cleared by one participant while the other draws: both end as the server
// ordered the clear and the strokes.
TEST_F(BoardSyncTest, ClearWhileOtherDraws) {
  for (int round = 0; round < 20; ++round) {
    Stroke(ca, kGraphPath, 100, 100 + round * 10, 3);
    Stroke(cb, kGraphLine, 300, 100 + round * 10, 2);
    cb.SetGraphType(kGraphPath);
    cb.OnMouseDown(500, 500);
    now += 20000;
    cb.OnMouseMove(520, 510);
    DeliverSome();
    if (round % 3 == 0) {
      ca.ClearCurrentPage();
    }
    DeliverSome();
    now += 60000;
    cb.OnMouseMove(540, 530);
    cb.OnMouseUp(560, 520);
    DeliverSome();
  }
  ExpectSame();
}

// Verifies that a participant joining later gets the same board, and that one whose link
// dropped while the other drew catches up through the full state.
TEST_F(BoardSyncTest, LateJoinAndReconnect) {
  for (int i = 0; i < 5; ++i) {
    Stroke(ca, kGraphPath, 50 + i * 40, 50, 6);
  }
  ExpectSame();
  service.Drop(b);
  for (int i = 0; i < 7; ++i) {
    Stroke(ca, i % 2 ? kGraphLine : kGraphPath, 50 + i * 40, 400, 6);
    service.DeliverAll();
  }
  EXPECT_EQ(Graphs(cb), 5u);
  service.Reconnect(b);
  ExpectSame();
  EXPECT_EQ(Graphs(cb), 12u);
  // Both keep drawing after the catch-up.
  Stroke(cb, kGraphLine, 600, 600, 3);
  Stroke(ca, kGraphLine, 700, 600, 3);
  ExpectSame();
  BoardController cc;
  service.Join(cc);
  service.DeliverAll();
  EXPECT_EQ(DescribeBoard(cc.GetBoard()), DescribeBoard(ca.GetBoard()));
  EXPECT_EQ(Graphs(cc), 14u);
}

// Verifies that a stroke drawn with a width beyond what the boards read is held to the
// widest width they read where the width is set: the drawer, the other participant and one
// joining later hold the same graphs.
TEST_F(BoardSyncTest, WideStrokesKeptByEveryone) {
  ca.SetLineWidth(600);
  EXPECT_EQ(ca.GetLineWidth(), kMaxBrushSize);
  Stroke(ca, kGraphLine, 100, 100, 5);
  Stroke(ca, kGraphPath, 100, 300, 5);
  cb.SetLineWidth(0);
  EXPECT_EQ(cb.GetLineWidth(), kMinBrushSize);
  Stroke(cb, kGraphLine, 300, 100, 5);
  ExpectSame();
  BoardController cc;
  service.Join(cc);
  service.DeliverAll();
  EXPECT_EQ(DescribeBoard(cc.GetBoard()), DescribeBoard(ca.GetBoard()));
  EXPECT_EQ(Graphs(cc), 3u);
  EXPECT_NE(DescribeBoard(cc.GetBoard()).find(" pen 512 "), std::string::npos);
}

// Verifies that a pointer far outside the board on a window much smaller than the board
// draws at the board's bounds, and that every participant keeps the stroke.
TEST_F(BoardSyncTest, PointerBeyondTheBoundsKeptByEveryone) {
  a.canvas.windowWidth = 1;
  a.canvas.windowHeight = 1;
  Stroke(ca, kGraphLine, 30000, -30000, 3);
  Stroke(ca, kGraphPath, 100, 30000, 3);
  ExpectSame();
  EXPECT_EQ(Graphs(cb), 2u);
  EXPECT_NE(DescribeBoard(cb.GetBoard()).find(std::to_string(kMaxBoardCoordinate)), std::string::npos);
  BoardController cc;
  service.Join(cc);
  service.DeliverAll();
  EXPECT_EQ(Graphs(cc), 2u);
}

// Verifies a move that would take a graph past the board bounds: no participant moves it, and
// one joining later gets it where the others have it.
TEST_F(BoardSyncTest, MovesStayWithinTheBoardBounds) {
  const int edge = kMaxBoardCoordinate - 10;
  ca.OnUpdateCommand(std::make_shared<FourPointGraphUpdateCommand>(ca.GetBoard().NextCliSeqId(), 1, 0, 7, kGraphAdd, 1,
                                                                   6, 1u, 0, 0, edge, 0));
  ca.OnUpdateCommand(std::make_shared<FourPointGraphUpdateCommand>(ca.GetBoard().NextCliSeqId(), 1, 0, 8, kGraphAdd, 1,
                                                                   6, 1u, 0, 50, 100, 50));
  service.DeliverAll();
  cb.OnUpdateCommand(
      std::make_shared<GraphsMoveCommand>(cb.GetBoard().NextCliSeqId(), 2, 0, std::vector<int>{7, 8}, 100, 0));
  ExpectSame();
  EXPECT_NE(DescribeBoard(cb.GetBoard()).find("0,0 " + std::to_string(edge) + ",0"), std::string::npos);
  EXPECT_NE(DescribeBoard(cb.GetBoard()).find("100,50 200,50"), std::string::npos);
  BoardController cc;
  service.Join(cc);
  service.DeliverAll();
  EXPECT_EQ(DescribeBoard(cc.GetBoard()), DescribeBoard(ca.GetBoard()));
}

// Verifies that a page clear the server put before own updates still on their way brings
// back only those of the cleared page: an own move on another page is not applied twice.
TEST_F(BoardSyncTest, ClearReplaysOnlyTheClearedPagesOwnUpdates) {
  Board& board = ca.GetBoard();
  ca.OnUpdateCommand(std::make_shared<PageUpdateCommand>(board.NextCliSeqId(), 1, kPageAdd, 0));
  ca.OnUpdateCommand(
      std::make_shared<FourPointGraphUpdateCommand>(board.NextCliSeqId(), 1, 1, 77, 1, 1, 6, 1, 10, 10, 20, 20));
  ca.OnUpdateCommand(
      std::make_shared<FourPointGraphUpdateCommand>(board.NextCliSeqId(), 1, 0, 78, 1, 1, 6, 1, 10, 10, 20, 20));
  service.DeliverAll();
  cb.ClearCurrentPage();  // at the server before a's move
  ca.OnUpdateCommand(std::make_shared<GraphsMoveCommand>(board.NextCliSeqId(), 1, 1, std::vector<int>{77}, 10, 10));
  ca.OnUpdateCommand(
      std::make_shared<FourPointGraphUpdateCommand>(board.NextCliSeqId(), 1, 0, 79, 1, 1, 6, 1, 30, 30, 40, 40));
  ExpectSame();
  EXPECT_NE(DescribeBoard(ca.GetBoard()).find(" 20,20 30,30"), std::string::npos) << DescribeBoard(ca.GetBoard());
  EXPECT_EQ(Graphs(ca, 0), 1u);
}

// Verifies points another participant adds to a curve while an own move of it is on its way:
// the server appends them before the move, so the mover's board moves them too.
TEST_F(BoardSyncTest, OwnMoveInFlightMovesPointsAddedBeforeIt) {
  Board& board = ca.GetBoard();
  ca.OnUpdateCommand(std::make_shared<PathGraphUpdateCommand>(board.NextCliSeqId(), 1, 0, 90, kGraphAdd, 6, 1u,
                                                              std::vector<IntPoint>{{100, 100}, {110, 130}}));
  service.DeliverAll();
  ca.OnUpdateCommand(std::make_shared<PathGraphUpdateCommand>(board.NextCliSeqId(), 1, 0, 90, kGraphModify, 6, 1u,
                                                              std::vector<IntPoint>{{150, 120}, {170, 190}}));
  cb.OnUpdateCommand(
      std::make_shared<GraphsMoveCommand>(cb.GetBoard().NextCliSeqId(), 2, 0, std::vector<int>{90}, 28, 25));
  ExpectSame();
  EXPECT_NE(DescribeBoard(cb.GetBoard()).find("128,125 138,155 178,145 198,215"), std::string::npos)
      << DescribeBoard(cb.GetBoard());
  BoardController cc;
  service.Join(cc);
  service.DeliverAll();
  EXPECT_EQ(DescribeBoard(cc.GetBoard()), DescribeBoard(cb.GetBoard()));
}

// Verifies a line another participant redraws while an own move of it is on its way: the
// server sets the new points before the move, so the mover's board moves them.
TEST_F(BoardSyncTest, OwnMoveInFlightMovesALineRedrawnBeforeIt) {
  Board& board = ca.GetBoard();
  ca.OnUpdateCommand(std::make_shared<FourPointGraphUpdateCommand>(board.NextCliSeqId(), 1, 0, 91, kGraphAdd,
                                                                   GraphLine::kKind, 6, 1u, 10, 10, 20, 20));
  service.DeliverAll();
  ca.OnUpdateCommand(std::make_shared<FourPointGraphUpdateCommand>(board.NextCliSeqId(), 1, 0, 91, kGraphModify,
                                                                   GraphLine::kKind, 6, 1u, 10, 10, 60, 70));
  cb.OnUpdateCommand(
      std::make_shared<GraphsMoveCommand>(cb.GetBoard().NextCliSeqId(), 2, 0, std::vector<int>{91}, 28, 25));
  ExpectSame();
  EXPECT_NE(DescribeBoard(cb.GetBoard()).find("38,35 88,95"), std::string::npos) << DescribeBoard(cb.GetBoard());
}

// Verifies moves near the edge of the bounds while the mover's own moves are on their way:
// the server moves a graph by each move in its order, only where every coordinate stays within
// the bounds, and the boards do the same: another's move that the server refused (it arrived
// first) is refused at the mover too, an own move refused here is made after another's that
// brought the graph where it fits, an offset beyond the bounds is held within them as every
// board reads it, and points another appends to a curve are not moved by an own move the
// server refuses.
TEST_F(BoardSyncTest, MovesToTheEdgeAgreeWithTheServer) {
  const std::vector<int> ids{92};
  auto move = [&](BoardController& c, int ox, int oy) {
    c.OnUpdateCommand(std::make_shared<GraphsMoveCommand>(c.GetBoard().NextCliSeqId(), 0, 0, ids, ox, oy));
  };
  ca.OnUpdateCommand(std::make_shared<PathGraphUpdateCommand>(ca.GetBoard().NextCliSeqId(), 1, 0, 92, kGraphAdd, 6, 1u,
                                                              std::vector<IntPoint>{{100, 300}, {110, 330}}));
  service.DeliverAll();
  move(cb, 0, kMaxBoardCoordinate - 310);  // refused at the server: 330 would leave
  move(ca, 0, -kMaxBoardCoordinate);       // fits (300 - 2^20 .. 330 - 2^20)
  ExpectSame();
  move(ca, 0, kMaxBoardCoordinate - 400);  // refused here: the curve is near the other edge
  move(cb, 0, kMaxBoardCoordinate);        // first at the server: brings it near 0
  ExpectSame();
  move(ca, -kMaxBoardCoordinate - 500, 0);  // beyond the bounds: held at -2^20, refused
  ExpectSame();
  move(cb, kMaxBoardCoordinate - 110, 0);  // right edge
  service.DeliverAll();
  cb.OnUpdateCommand(std::make_shared<PathGraphUpdateCommand>(cb.GetBoard().NextCliSeqId(), 2, 0, 92, kGraphModify, 6,
                                                              1u, std::vector<IntPoint>{{1048560, 350}}));
  move(ca, 30, 0);  // refused at the server: the appended point would leave
  ExpectSame();
}

// Verifies an update the boards ignore (a line add of another kind) naming a graph with an
// own move on its way: it replaces nothing, so the move is not made again.
TEST_F(BoardSyncTest, IgnoredUpdateDoesNotRepeatAnOwnMove) {
  ca.OnUpdateCommand(std::make_shared<PathGraphUpdateCommand>(ca.GetBoard().NextCliSeqId(), 1, 0, 93, kGraphAdd, 6, 1u,
                                                              std::vector<IntPoint>{{100, 300}, {110, 330}}));
  service.DeliverAll();
  const std::string ignored =
      "{\"id\":31000,\"cli_seq_id\":" + std::to_string(cb.GetBoard().NextCliSeqId()) +
      ",\"edit_id\":2,\"type\":\"line\",\"line\":{\"pid\":0,\"gid\":93,\"action\":1,\"graph\":2,\"brush_size\":6,"
      "\"color\":1,\"x1\":1,\"y1\":1,\"x2\":9,\"y2\":9}}";
  b.SendBoardData("board-1", reinterpret_cast<const uint8_t*>(ignored.c_str()),
                  static_cast<uint32_t>(ignored.size() + 1));
  ca.OnUpdateCommand(
      std::make_shared<GraphsMoveCommand>(ca.GetBoard().NextCliSeqId(), 0, 0, std::vector<int>{93}, 10, 0));
  ExpectSame();
  EXPECT_NE(DescribeBoard(ca.GetBoard()).find("110,300 120,330"), std::string::npos) << DescribeBoard(ca.GetBoard());
}

}  // namespace
}  // namespace kiv_wb
