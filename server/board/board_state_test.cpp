#include "server/board/board_state.h"

#include <gtest/gtest.h>

#include "protocol/wire/result_codes.h"
#include "protocol/wire/wire_message.h"
#include "wb/message/board_message.h"
#include "wb/message/update_commands.h"
#include "wb/model/board.h"
#include "wb/model/board_limits.h"
#include "wb/model/edit_settings.h"

namespace kiv_server {
namespace {

BoardRecord Blank(int pages = 2) {
  BoardRecord r;
  r.name = "plan";
  r.width = 1280;
  r.height = 720;
  r.page = pages;
  return r;
}

int Apply(BoardState& s, const std::string& text, uint32_t* seq = nullptr) {
  BoardMessage m;
  EXPECT_EQ(ReadBoardMessage(text, &m), BoardReadError::kNone) << text;
  uint32_t n = 0;
  const int r = s.Apply(m, &n);
  if (seq) *seq = n;
  return r;
}

std::string Line(int pid, int gid, int action, int x1, int x2) {
  return R"({"id":31000,"cli_seq_id":1,"edit_id":1,"type":"line","line":{"pid":)" + std::to_string(pid) + R"(,"gid":)" +
         std::to_string(gid) + R"(,"action":)" + std::to_string(action) +
         R"(,"graph":1,"brush_size":6,"color":4294901760,"x1":)" + std::to_string(x1) + R"(,"y1":20,"x2":)" +
         std::to_string(x2) + R"(,"y2":40}})";
}

std::string Full(const BoardState& s) {
  rapidjson::Document d(rapidjson::kObjectType);
  s.WriteFullState(&d);
  return kiv_proto::ToJson(d);
}

// Adds, modifies, path appends, moves and deletes fold into what a fresh board would show.
TEST(BoardState, FoldsUpdatesIntoTheFullState) {
  BoardState s(Blank());
  uint32_t seq = 0;
  EXPECT_EQ(Apply(s, Line(0, 7, 1, 10, 30), &seq), 0);
  EXPECT_EQ(seq, 1u);
  EXPECT_EQ(Apply(s, Line(0, 7, 2, 11, 31), &seq), 0);
  EXPECT_EQ(seq, 2u);
  EXPECT_EQ(Apply(s, R"({"id":31002,"type":"curve","curve":{"pid":1,"gid":8,"action":1,"graph":2,"brush_size":2,)"
                     R"("color":1,"points":[[1,1],[2,2]]}})"),
            0);
  EXPECT_EQ(Apply(s, R"({"id":31002,"type":"curve","curve":{"pid":1,"gid":8,"action":2,"graph":2,"brush_size":2,)"
                     R"("color":1,"points":[[3,3]]}})"),
            0);
  EXPECT_EQ(Apply(s, R"({"id":30202,"type":"gmov","gmov":{"pid":1,"ox":10,"oy":100,"graphs":[8,99]}})"), 0);
  EXPECT_EQ(Apply(s, Line(0, 9, 1, 0, 0)), 0);
  EXPECT_EQ(Apply(s, Line(0, 9, 3, 0, 0)), 0);
  EXPECT_EQ(Apply(s, R"({"id":30200,"type":"page","page":{"pid":1,"action":0}})", &seq), 0);
  EXPECT_EQ(seq, 8u);
  EXPECT_EQ(s.last_seq(), 8u);
  EXPECT_EQ(
      Full(s),
      R"({"data":[{"board":{"board_name":"plan","board_type":0,"width":1280,"height":720,"page":2,)"
      R"("current_pid":1,"file_path":"","convert_file_path":""}},)"
      R"({"line":{"pid":0,"gid":7,"action":1,"graph":1,"brush_size":6,"color":4294901760,"x1":11,"y1":20,"x2":31,"y2":40}},)"
      R"({"curve":{"pid":1,"gid":8,"action":1,"graph":2,"brush_size":2,"color":1,"points":[[11,101],[12,102],[13,103]]}}]})");
}

// Clearing a page drops its graphs only; adding a page grows the count; updates for pages
// that do not exist change nothing but are still numbered.
TEST(BoardState, PageActions) {
  BoardState s(Blank(2));
  EXPECT_EQ(Apply(s, Line(0, 1, 1, 0, 0)), 0);
  EXPECT_EQ(Apply(s, Line(1, 2, 1, 0, 0)), 0);
  EXPECT_EQ(Apply(s, R"({"id":30200,"type":"page","page":{"pid":0,"action":3}})"), 0);
  EXPECT_EQ(s.graph_count(), 1u);
  EXPECT_EQ(Apply(s, R"({"id":30200,"type":"page","page":{"pid":1,"action":1}})"), 0);
  EXPECT_EQ(s.record().page, 3);
  // An update naming a page the board does not have is refused: a board that added that page
  // itself, its add still on its way, would apply it where the others do not.
  uint32_t seq = 0;
  EXPECT_EQ(Apply(s, Line(7, 3, 1, 0, 0), &seq), kiv_proto::kResultInvalidArgument);
  EXPECT_EQ(Apply(s, R"({"id":30202,"type":"gmov","gmov":{"pid":3,"ox":1,"oy":1,"graphs":[1]}})"),
            kiv_proto::kResultInvalidArgument);
  EXPECT_EQ(Apply(s, R"({"id":30200,"type":"page","page":{"pid":-1,"action":1}})"), kiv_proto::kResultInvalidArgument);
  EXPECT_EQ(s.last_seq(), 4u);
  EXPECT_EQ(s.graph_count(), 1u);
}

// The kept state has a limit: an update that would pass it is refused and changes nothing,
// a delete still frees room.
TEST(BoardState, StateLimit) {
  BoardState probe(Blank());
  EXPECT_EQ(Apply(probe, Line(0, 1, 1, 0, 0)), 0);
  const size_t one = probe.state_bytes();
  BoardState s(Blank(), one * 3);
  for (int gid = 1; gid <= 3; ++gid) EXPECT_EQ(Apply(s, Line(0, gid, 1, 0, 0)), 0);
  uint32_t seq = 0;
  EXPECT_EQ(Apply(s, Line(0, 4, 1, 0, 0), &seq), kiv_proto::kResultStateFull);
  EXPECT_EQ(s.last_seq(), 3u);
  EXPECT_EQ(s.graph_count(), 3u);
  EXPECT_EQ(Apply(s, Line(0, 2, 3, 0, 0)), 0);
  EXPECT_EQ(Apply(s, Line(0, 4, 1, 0, 0)), 0);
  EXPECT_LE(s.state_bytes(), one * 3);
}

std::string CurvePoints(int pid, int gid, int action, int from, int count) {
  std::string points;
  for (int i = from; i < from + count; ++i) {
    // A zigzag: no point lies on the line of the last segment, so each one is kept.
    points += (points.empty() ? "[" : ",[") + std::to_string(i) + "," + std::to_string(i % 2 * 10) + "]";
  }
  return R"({"id":31002,"type":"curve","curve":{"pid":)" + std::to_string(pid) + R"(,"gid":)" + std::to_string(gid) +
         R"(,"action":)" + std::to_string(action) + R"(,"graph":2,"brush_size":2,"color":1,"points":[)" + points +
         "]}}";
}

// Bytes of a text escaped once more inside a stream message.
size_t Escaped(const std::string& text) {
  size_t n = text.size();
  for (char c : text) n += (c == '"' || c == '\\') ? 1 : 0;
  return n;
}

// The state is charged what it keeps, as the full state writes it: a pen's modify adds its
// points, not its whole text, so a stroke of many small modifies costs what its points cost.
TEST(BoardState, ChargesWhatIsKept) {
  BoardState s(Blank());
  ASSERT_EQ(Apply(s, CurvePoints(0, 5, 1, 0, 1)), 0);
  size_t texts = 0;
  for (int from = 1; from < 4000; from += 4) {
    const std::string modify = CurvePoints(0, 5, 2, from, 4);
    texts += modify.size();
    ASSERT_EQ(Apply(s, modify), 0);
  }
  ASSERT_EQ(Apply(s, Line(0, 6, 1, 0, 0)), 0);
  ASSERT_EQ(Apply(s, Line(0, 6, 2, 5, 123456)), 0);
  ASSERT_EQ(Apply(s, R"({"id":31006,"type":"text","text":{"pid":1,"gid":7,"action":1,"text":"a\"b\\c","font":"f"}})"),
            0);
  BoardState empty(Blank());
  EXPECT_EQ(s.state_bytes(), Escaped(Full(s)) - Escaped(Full(empty)));
  EXPECT_LT(s.state_bytes() * 3, texts);
  ASSERT_EQ(Apply(s, Line(0, 6, 3, 0, 0)), 0);
  ASSERT_EQ(Apply(s, R"({"id":30200,"type":"page","page":{"pid":0,"action":3}})"), 0);
  EXPECT_EQ(s.state_bytes(), Escaped(Full(s)) - Escaped(Full(empty)));
}
// Points of the one curve of a full state as a board reads them; -1 when it reads no curve.
int BoardCurvePoints(const BoardState& s) {
  const std::string text = "{\"id\":30004,\"seq_id\":1," + Full(s).substr(1);
  kiv_wb::EditSettings settings(1, nullptr);
  kiv_wb::Board board(&settings);
  for (auto& command : kiv_wb::ParseBoardFullSync(text.c_str(), text.size(), &board)) {
    if (auto* curve = dynamic_cast<kiv_wb::PathGraphUpdateCommand*>(command.get())) {
      return static_cast<int>(curve->points.size());
    }
  }
  return -1;
}

// A path grows by appends up to the number of points the boards keep of one path; an append
// that would pass it is left out as the boards leave it out, so that a board rebuilt from the
// full state reads the path.
TEST(BoardState, PathAppendsStopWhereTheBoardsStop) {
  BoardState s(Blank());
  const int chunk = 6000;
  ASSERT_EQ(Apply(s, CurvePoints(0, 5, 1, 0, 1)), 0);
  int have = 1;
  while (have + chunk <= static_cast<int>(kiv_wb::kMaxPathPoints)) {
    ASSERT_EQ(Apply(s, CurvePoints(0, 5, 2, have, chunk)), 0);
    have += chunk;
  }
  uint32_t seq = 0;
  EXPECT_EQ(Apply(s, CurvePoints(0, 5, 2, have, chunk), &seq), 0);
  EXPECT_NE(seq, 0u) << "relayed all the same";
  EXPECT_EQ(BoardCurvePoints(s), have);
  const int rest = static_cast<int>(kiv_wb::kMaxPathPoints) - have;
  EXPECT_EQ(Apply(s, CurvePoints(0, 5, 2, have, rest)), 0);
  EXPECT_EQ(Apply(s, CurvePoints(0, 5, 2, have + rest, 1)), 0);
  EXPECT_EQ(BoardCurvePoints(s), static_cast<int>(kiv_wb::kMaxPathPoints));
}

// A move that would take a graph's coordinates past the board bounds leaves that graph where
// it is, as the boards do; the other graphs of the move move.
TEST(BoardState, MovesStayWithinTheBoardBounds) {
  BoardState s(Blank());
  const int edge = kiv_wb::kMaxBoardCoordinate - 10;
  ASSERT_EQ(Apply(s, Line(0, 1, 1, 0, edge)), 0);
  ASSERT_EQ(Apply(s, Line(0, 2, 1, 0, 100)), 0);
  ASSERT_EQ(Apply(s, R"({"id":30202,"type":"gmov","gmov":{"pid":0,"ox":11,"oy":0,"graphs":[1,2]}})"), 0);
  const std::string full = Full(s);
  EXPECT_NE(full.find(R"("gid":1,"action":1,"graph":1,"brush_size":6,"color":4294901760,"x1":0,"y1":20,"x2":)" +
                      std::to_string(edge)),
            std::string::npos)
      << full;
  EXPECT_NE(full.find(R"("x1":11,"y1":20,"x2":111,)"), std::string::npos) << full;
  ASSERT_EQ(Apply(s, R"({"id":30202,"type":"gmov","gmov":{"pid":0,"ox":10,"oy":0,"graphs":[1]}})"), 0);
  EXPECT_NE(Full(s).find(R"("x1":10,"y1":20,"x2":1048576,)"), std::string::npos);
}

// Edit ids are per participant, from 1, stable.
TEST(BoardState, EditIds) {
  BoardState s(Blank());
  EXPECT_EQ(s.EditIdOf("alice"), 1);
  EXPECT_EQ(s.EditIdOf("bob"), 2);
  EXPECT_EQ(s.EditIdOf("alice"), 1);
}

}  // namespace
}  // namespace kiv_server
