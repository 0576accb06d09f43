// The kept state against the participants' boards: a board rebuilt from the full state holds
// what the boards that applied the updates one by one hold.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/wire/wire_message.h"
#include "server/board/board_state.h"
#include "wb/message/board_message.h"
#include "wb/model/board.h"
#include "wb/model/board_snapshot.h"
#include "wb/model/edit_settings.h"
#include "wb/model/graph_path.h"
#include "wb/model/page.h"

namespace kiv_server {
namespace {

std::string Curve(int action, const std::string& points) {
  return R"({"id":31002,"seq_id":1,"cli_seq_id":1,"edit_id":1,"type":"curve","curve":{"pid":0,"gid":8,"action":)" +
         std::to_string(action) + R"(,"graph":2,"brush_size":2,"color":1)" + points + "}}";
}

void Fold(BoardState& state, const std::string& text) {
  BoardMessage m;
  ASSERT_EQ(ReadBoardMessage(text, &m), BoardReadError::kNone) << text;
  uint32_t seq = 0;
  ASSERT_EQ(state.Apply(m, &seq), 0) << text;
}

std::string FullState(const BoardState& state) {
  rapidjson::Document full(rapidjson::kObjectType);
  state.WriteFullState(&full);
  return kiv_proto::ToJson(full);
}

// Two boards on one stream: `live` applies every update as it comes, `late` joins at the end
// and rebuilds itself from the server's full state.
class LateJoin : public ::testing::Test {
 protected:
  LateJoin() : state_(Record()) {}

  static BoardRecord Record() {
    BoardRecord r;
    r.name = "plan";
    r.width = 1280;
    r.height = 720;
    r.page = 1;
    return r;
  }

  void Send(const std::string& text) {
    Fold(state_, text);
    auto command = kiv_wb::ParseBoardCommand(text.c_str(), text.size(), &live_);
    if (command) command->Apply(live_);
  }

  void Join() {
    rapidjson::Document full(rapidjson::kObjectType);
    full.AddMember("id", kBoardState, full.GetAllocator());
    full.AddMember("seq_id", state_.last_seq(), full.GetAllocator());
    state_.WriteFullState(&full);
    const std::string text = kiv_proto::ToJson(full);
    for (auto& command : kiv_wb::ParseBoardFullSync(text.c_str(), text.size(), &late_)) {
      if (command) command->Apply(late_);
    }
  }

  static std::shared_ptr<kiv_wb::GraphPath> PathOf(kiv_wb::Board& board) {
    auto page = board.FindPage(0);
    if (!page) return nullptr;
    return std::dynamic_pointer_cast<kiv_wb::GraphPath>(page->FindGraph(8));
  }

  BoardState state_;
  kiv_wb::EditSettings settings_{1, nullptr};
  kiv_wb::Board live_{&settings_};
  kiv_wb::Board late_{&settings_};
};

// A stroke that runs on along its last segment, then back along it: the live boards move the
// segment's end instead of adding points, and so must the full state, or the late board holds
// a curve through points the others no longer have.
TEST_F(LateJoin, CurveOnItsLastSegmentFoldsLikeTheBoards) {
  Send(Curve(1, R"(,"points":[[0,0]])"));
  Send(Curve(2, R"(,"points":[[100,0]])"));
  Send(Curve(2, R"(,"points":[[100,100],[100,200]])"));
  Send(Curve(2, R"(,"points":[[100,50]])"));
  Send(Curve(2, R"(,"points":[[200,50],[300,50],[300,60]])"));
  Join();
  auto live = PathOf(live_);
  auto late = PathOf(late_);
  ASSERT_TRUE(live && late);
  const std::vector<kiv_wb::IntPoint> expected{{0, 0}, {100, 0}, {100, 50}, {300, 50}, {300, 60}};
  EXPECT_EQ(live->GetPoints(), expected);
  EXPECT_EQ(late->GetPoints(), expected);
  EXPECT_EQ(late->GetRect(), live->GetRect());
  // (100, 150) lies on the stretch the stroke went back over.
  EXPECT_FALSE(live->HitTest(100, 150));
  EXPECT_FALSE(late->HitTest(100, 150));
  EXPECT_TRUE(late->HitTest(100, 25));
}

// Elements that are not [x, y] are skipped by the boards; a curve added without points still
// takes the points appended later.
TEST_F(LateJoin, CurvePointsOtherThanPairsAndMissingLists) {
  Send(Curve(1, R"(,"points":[[1,2],"x",[3],[4,5,6],[7.5,1],[9,9]])"));
  Send(Curve(2, R"(,"points":[{"x":1},[20,30]])"));
  Join();
  ASSERT_TRUE(PathOf(live_) && PathOf(late_));
  const std::vector<kiv_wb::IntPoint> expected{{1, 2}, {4, 5}, {9, 9}, {20, 30}};
  EXPECT_EQ(PathOf(live_)->GetPoints(), expected);
  EXPECT_EQ(PathOf(late_)->GetPoints(), expected);

  BoardState bare(Record());
  Fold(bare, Curve(1, ""));
  Fold(bare, Curve(2, R"(,"points":[[5,5],[6,7]])"));
  EXPECT_NE(FullState(bare).find(R"("points":[[5,5],[6,7]])"), std::string::npos) << FullState(bare);
}

// A move the boards refuse (an offset beyond a board coordinate) moves nothing in the kept
// state either, and no coordinate wraps around.
TEST_F(LateJoin, MovesTheBoardsRefuseChangeNothing) {
  Send(R"({"id":31000,"seq_id":1,"cli_seq_id":1,"edit_id":1,"type":"line","line":{"pid":0,"gid":3,"action":1,)"
       R"("graph":1,"brush_size":6,"color":1,"x1":10,"y1":20,"x2":30,"y2":40}})");
  Send(R"({"id":30202,"seq_id":2,"type":"gmov","gmov":{"pid":0,"ox":2000000,"oy":0,"graphs":[3]}})");
  Send(R"({"id":30202,"seq_id":3,"type":"gmov","gmov":{"pid":0,"ox":5,"oy":-5,"graphs":[3]}})");
  EXPECT_NE(FullState(state_).find(R"("x1":15,"y1":15,"x2":35,"y2":35)"), std::string::npos) << FullState(state_);

  // Moves the boards take, repeated until a coordinate would pass the board bounds: from there
  // on it stays put, as on the boards (the missing x2 and y2 read -1 and move with it).
  BoardState far(Record());
  Fold(far, R"({"id":31000,"type":"line","line":{"pid":0,"gid":1,"action":1,"graph":1,"x1":1000,"y1":-1000}})");
  for (int i = 0; i < 2200; ++i) {
    Fold(far, R"({"id":30202,"type":"gmov","gmov":{"pid":0,"ox":1000,"oy":-1000,"graphs":[1]}})");
  }
  EXPECT_NE(FullState(far).find(R"("x1":1048000,"y1":-1048000,"x2":1046999,"y2":-1047001)"), std::string::npos)
      << FullState(far);
}

// Values beyond the bounds (a coordinate or brush out of range) are held within them alike on
// the boards and in the state a late joiner gets: a curve keeps every point, a line the same
// rectangle.
TEST_F(LateJoin, ValuesBeyondTheBoundsAreHeldAlike) {
  Send(Curve(1, R"(,"points":[[0,0],[10,0],[10,10]])"));
  Send(Curve(2, R"(,"points":[[20,20],[5000000,0]])"));
  Send(R"({"id":31002,"type":"curve","curve":{"pid":0,"gid":8,"action":2,"brush_size":9999,"points":[[30,30]]}})");
  Send(
      R"({"id":31000,"type":"line","line":{"pid":0,"gid":3,"action":1,"graph":1,"brush_size":6,"x1":1,"y1":2,"x2":3,"y2":4}})");
  Send(
      R"({"id":31000,"type":"line","line":{"pid":0,"gid":3,"action":1,"graph":1,"brush_size":6,"x1":1,"y1":2,"x2":3000000,"y2":4}})");
  Send(R"({"id":31000,"type":"line","line":{"pid":0,"gid":3,"action":2,"x2":-3000000}})");
  Join();
  ASSERT_TRUE(PathOf(live_) && PathOf(late_));
  const std::vector<kiv_wb::IntPoint> expected{{0, 0}, {10, 0}, {10, 10}, {20, 20}, {1048576, 0}, {30, 30}};
  EXPECT_EQ(PathOf(live_)->GetPoints(), expected);
  EXPECT_EQ(PathOf(late_)->GetPoints(), expected);
  auto line = live_.FindPage(0)->FindGraph(3);
  auto lateLine = late_.FindPage(0)->FindGraph(3);
  ASSERT_TRUE(line && lateLine);
  EXPECT_EQ(lateLine->GetRect(), line->GetRect());
}

// The kept copy is what the boards hold after reading each update: a text modified beyond the
// bounds is held within them before a later move is checked; a key missing from a line add
// reads -1 and moves with the line; a line add the boards ignore (its "graph" not a line)
// takes no place in the drawing order; a text modify replaces a graph of another kind.
TEST_F(LateJoin, KeptCopyIsWhatTheBoardsRead) {
  const std::string text = R"({"id":31006,"type":"text","text":{"pid":0,"gid":20,"text":"t","font":"f","fontsize":20,)";
  Send(text + R"("action":1,"left":10,"top":10,"right":60,"bottom":30}})");
  Send(text + R"("action":2,"left":-5000000,"top":10,"right":60,"bottom":30}})");
  Send(R"({"id":31000,"type":"line","line":{"pid":0,"gid":5,"action":1,"graph":0,"x1":1,"y1":1,"x2":2,"y2":2}})");
  Send(R"({"id":31000,"type":"line","line":{"pid":0,"gid":6,"action":1,"graph":1,"x1":1,"y1":1,"y2":"2"}})");
  Send(R"({"id":31000,"type":"line","line":{"pid":0,"gid":5,"action":1,"graph":1,"x1":7,"y1":7,"x2":8,"y2":8}})");
  Send(R"({"id":31000,"type":"line","line":{"pid":0,"gid":9,"action":1,"graph":1,"x1":7,"y1":7,"x2":8,"y2":8}})");
  Send(text + R"("action":2,"left":1,"top":2,"right":3,"bottom":4,"gid":9}})");
  Send(R"({"id":30202,"type":"gmov","gmov":{"pid":0,"ox":10,"oy":10,"graphs":[20,6,5,9]}})");
  Join();
  EXPECT_EQ(kiv_wb::DescribeBoard(late_), kiv_wb::DescribeBoard(live_));
  EXPECT_NE(kiv_wb::DescribeBoard(live_).find(" 11,11 9,9\n g1 5"), std::string::npos) << kiv_wb::DescribeBoard(live_);
}

}  // namespace
}  // namespace kiv_server
