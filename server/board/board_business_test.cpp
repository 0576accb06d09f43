#include "server/board/board_business.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "protocol/wire/result_codes.h"
#include "server/board/testing/board_meeting.h"

namespace kiv_server {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kLine[] =
    R"({"id":31000,"cli_seq_id":1,"edit_id":1,"type":"line","line":{"pid":0,"gid":1,"action":1,"graph":1,)"
    R"("brush_size":6,"color":4294901760,"x1":10,"y1":20,"x2":30,"y2":40}})";

std::string Create(int cli_seq, const std::string& name = "plan") {
  return R"({"business":"WBS","id":19000,"cli_seq_id":)" + std::to_string(cli_seq) + R"(,"board_name":")" + name +
         R"(","board_type":0,"width":1280,"height":720,"page":2})";
}

std::string Subscribe(const std::string& board) {
  return R"({"business":"TSPD","id":17000,"media_id":")" + board + R"("})";
}

class BoardBusinessTest : public ::testing::Test {
 protected:
  // A board created by `c`; its id.
  std::string NewBoard(ClientId c, int cli_seq, const std::string& name = "plan") {
    m.Biz(c, Create(cli_seq, name));
    auto answers = m.Take(c);
    EXPECT_EQ(answers.size(), 1u);
    rapidjson::Document d;
    d.Parse(answers.empty() ? "{}" : answers[0].c_str());
    std::string id;
    EXPECT_TRUE(kiv_proto::GetString(d, "board_id", &id)) << (answers.empty() ? "" : answers[0]);
    return id;
  }

  BoardMeeting m;
};

// Creation answers the requester alone, matched by its own sequence id; two boards are kept
// apart by id; announcing one carries its name; closing withdraws it for every member.
TEST_F(BoardBusinessTest, CreateAnnounceAndClose) {
  const ClientId a = m.Member("alice", "room1");
  const ClientId b = m.Member("bob", "room1");
  m.Biz(a, Create(1, "first"));
  m.Biz(b, Create(1, "other"));
  const auto at_a = m.Take(a);
  const auto at_b = m.Take(b);
  ASSERT_EQ(at_a.size(), 1u);
  ASSERT_EQ(at_b.size(), 1u);
  EXPECT_EQ(at_a[0], R"({"business":"WBS","id":19001,"cli_seq_id":1,"result":0,"board_id":"wb-1"})");
  EXPECT_EQ(at_b[0], R"({"business":"WBS","id":19001,"cli_seq_id":1,"result":0,"board_id":"wb-2"})");

  m.Biz(a, R"({"business":"GS","id":14104,"source_type":1,"media_type":4,"media_id":"wb-1","operation":1})");
  for (ClientId c : {a, b}) {
    auto got = m.Take(c);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_THAT(got[0], HasSubstr(R"("media_id":"wb-1","media_type":4,"operation":1)"));
    EXPECT_THAT(got[0], HasSubstr(R"("media_name":"first")"));
  }
  // A board that is not in the group cannot be announced.
  const ClientId c = m.Member("carol", "room2");
  m.Biz(c, R"({"business":"GS","id":14104,"source_type":1,"media_type":4,"media_id":"wb-2","operation":1})");
  EXPECT_THAT(m.Take(c), ElementsAre(HasSubstr(R"("code":43)")));

  m.Biz(a, R"({"business":"WBS","id":19002,"board_id":"wb-1"})");
  for (ClientId x : {a, b}) {
    EXPECT_THAT(m.Take(x), ElementsAre(HasSubstr(R"("media_id":"wb-1","media_type":4,"operation":0)")));
  }
  EXPECT_EQ(m.boards().BoardName(*m.core().State().GroupOf(*m.core().State().Client(a)), "wb-1"), nullptr);
  EXPECT_NE(m.boards().BoardName(*m.core().State().GroupOf(*m.core().State().Client(a)), "wb-2"), nullptr);
}

// Only the member who announced a board withdraws it: another member's withdrawal naming it
// is refused and announced to nobody, and the board stays in the group's list.
TEST_F(BoardBusinessTest, OnlyItsPublisherWithdrawsABoard) {
  const ClientId a = m.Member("alice", "room1");
  const ClientId b = m.Member("bob", "room1");
  const std::string board = NewBoard(a, 1);
  const std::string announce =
      R"({"business":"GS","id":14104,"source_type":1,"media_type":4,"media_id":")" + board + R"(","operation":)";
  m.Biz(a, announce + "1}");
  m.Take(a);
  m.Take(b);
  m.Biz(b, announce + "0}");
  EXPECT_THAT(m.Take(b), ElementsAre(HasSubstr(R"("code":43)")));
  EXPECT_TRUE(m.Take(a).empty());
  const Group* group = m.core().State().GroupOf(*m.core().State().Client(a));
  ASSERT_EQ(group->media.size(), 1u);
  EXPECT_EQ(group->media[0].user_id, "alice");
  m.Biz(a, announce + "0}");
  for (ClientId c : {a, b}) EXPECT_THAT(m.Take(c), ElementsAre(HasSubstr(R"("media_type":4,"operation":0)")));
  EXPECT_TRUE(group->media.empty());
}

// Every update goes to every subscriber, the sender included, numbered per board; requests
// are answered to the requester alone; a new subscriber gets the notice with the last number.
TEST_F(BoardBusinessTest, RelayNumbersAndRequests) {
  const ClientId a = m.Member("alice", "room1");
  const ClientId b = m.Member("bob", "room1");
  const std::string one = NewBoard(a, 1);
  const std::string two = NewBoard(a, 2);
  m.Biz(a, Subscribe(one));
  m.Biz(a, Subscribe(two));
  m.Biz(b, Subscribe(one));
  EXPECT_THAT(m.Take(a), ElementsAre(HasSubstr(R"("id":17001,"media_id":"wb-1","result":0)"),
                                     HasSubstr(R"({\"id\":30000,\"seq_id\":0})"),
                                     HasSubstr(R"("id":17001,"media_id":"wb-2","result":0)"),
                                     HasSubstr(R"({\"id\":30000,\"seq_id\":0})")));
  m.Take(b);

  m.Stream(a, one, kLine);
  m.Stream(b, one, kLine);
  m.Stream(a, two, kLine);
  const std::string relayed =
      R"({"id":31000,"seq_id":%,"cli_seq_id":1,"edit_id":1,"type":"line","line":{"pid":0,"gid":1,"action":1,)"
      R"("graph":1,"brush_size":6,"color":4294901760,"x1":10,"y1":20,"x2":30,"y2":40}})";
  auto numbered = [&](const std::string& board, int n, int edit_id) {
    std::string text = relayed;
    text.replace(text.find('%'), 1, std::to_string(n));
    text.replace(text.find("\"edit_id\":1"), 11, "\"edit_id\":" + std::to_string(edit_id));
    return board + " " + text;
  };
  // Each sender's first update gives it its edit id on that board.
  EXPECT_THAT(m.StreamTexts(a), ElementsAre(numbered(one, 1, 1), numbered(one, 2, 2), numbered(two, 1, 1)));
  EXPECT_THAT(m.StreamTexts(b), ElementsAre(numbered(one, 1, 1), numbered(one, 2, 2)));

  m.Stream(b, one, R"({"id":30001})");
  m.Stream(a, one, R"({"id":30001})");
  m.Stream(b, one, R"({"id":30001})");
  EXPECT_THAT(m.StreamTexts(b),
              ElementsAre(one + R"( {"id":30002,"edit_id":2})", one + R"( {"id":30002,"edit_id":2})"));
  EXPECT_THAT(m.StreamTexts(a), ElementsAre(one + R"( {"id":30002,"edit_id":1})"));

  const ClientId late = m.Member("carol", "room1");
  m.Biz(late, Subscribe(one));
  m.Stream(late, one, R"({"id":30003})");
  const auto texts = m.StreamTexts(late);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], one + R"( {"id":30000,"seq_id":2})");
  EXPECT_THAT(texts[1], HasSubstr(R"({"id":30004,"seq_id":2,"data":[{"board":{"board_name":"plan")"));
  EXPECT_THAT(texts[1], HasSubstr(R"({"line":{"pid":0,"gid":1,"action":1)"));
  EXPECT_TRUE(m.StreamTexts(a).empty());
}

// A relayed update carries its sender's edit id, never the one the message claims: one
// participant cannot make the others drop a third one's updates as their echoes, and an
// update sent before its sender asked for its edit id carries the id the sender then gets.
TEST_F(BoardBusinessTest, RelayStampsTheSendersEditId) {
  const ClientId a = m.Member("alice", "room1");
  const ClientId b = m.Member("bob", "room1");
  const ClientId c = m.Member("carol", "room1");
  const std::string board = NewBoard(a, 1);
  for (ClientId x : {a, b, c}) {
    m.Biz(x, Subscribe(board));
    m.Take(x);
  }
  m.Stream(a, board, R"({"id":30001})");
  m.Stream(b, board, R"({"id":30001})");
  EXPECT_THAT(m.StreamTexts(a), ElementsAre(board + R"( {"id":30002,"edit_id":1})"));
  EXPECT_THAT(m.StreamTexts(b), ElementsAre(board + R"( {"id":30002,"edit_id":2})"));

  // Bob claims Alice's edit id; Carol sends before asking, with 0 and without any.
  m.Stream(b, board, kLine);
  std::string zero = kLine;
  zero.replace(zero.find("\"edit_id\":1"), 11, "\"edit_id\":0");
  m.Stream(c, board, zero);
  std::string none = kLine;
  none.erase(none.find("\"edit_id\":1,"), 12);
  m.Stream(c, board, none);
  const auto at_a = m.StreamTexts(a);
  ASSERT_EQ(at_a.size(), 3u);
  EXPECT_THAT(at_a[0], HasSubstr(R"("seq_id":1,"cli_seq_id":1,"edit_id":2,"type":"line")"));
  EXPECT_THAT(at_a[1], HasSubstr(R"("seq_id":2,"cli_seq_id":1,"edit_id":3,"type":"line")"));
  EXPECT_THAT(at_a[2], HasSubstr(R"("seq_id":3,"cli_seq_id":1,"type":"line")"));
  EXPECT_THAT(at_a[2], HasSubstr(R"("edit_id":3})"));
  m.Take(b);
  m.Take(c);
  m.Stream(c, board, R"({"id":30001})");
  EXPECT_THAT(m.StreamTexts(c), ElementsAre(board + R"( {"id":30002,"edit_id":3})"));
}

// Outsiders and non-subscribers reach no board; malformed and oversized data is refused with
// a code, logged and never relayed; other boards stay intact.
TEST_F(BoardBusinessTest, RefusalsRelayNothing) {
  const ClientId a = m.Member("alice", "room1");
  const ClientId b = m.Member("bob", "room1");
  const ClientId stranger = m.Member("mallory", "room2");
  const ClientId loner = m.Member("oscar", "");
  const std::string board = NewBoard(a, 1);
  m.Biz(a, Subscribe(board));
  m.Biz(b, Subscribe(board));
  m.Take(a);
  m.Take(b);

  m.Biz(stranger, Subscribe(board));
  EXPECT_THAT(m.Take(stranger), ElementsAre(HasSubstr(R"("result":43)")));
  m.Biz(loner, Subscribe(board));
  EXPECT_THAT(m.Take(loner), ElementsAre(HasSubstr(R"("result":43)")));
  m.Stream(stranger, board, kLine);
  m.Stream(stranger, board, R"({"id":30003})");
  EXPECT_THAT(m.Take(stranger), ElementsAre(HasSubstr(R"("code":43)"), HasSubstr(R"("code":43)")));
  m.Biz(stranger, R"({"business":"WBS","id":19002,"board_id":"wb-1"})");
  EXPECT_THAT(m.Take(stranger), ElementsAre(HasSubstr(R"("code":43)")));

  const ClientId c = m.Member("carol", "room1");  // in the group, not subscribed
  m.Stream(c, board, kLine);
  EXPECT_THAT(m.Take(c), ElementsAre(HasSubstr(R"("code":44)")));

  m.Stream(a, board, "not json");
  m.Stream(a, board, R"({"id":30004,"data":[]})");
  m.Stream(a, board, R"({"id":31000,"type":"curve","curve":{}})");
  m.Stream(a, board, R"({"id":31000,"type":"line","line":{"pad":")" + std::string(kMaxBoardUpdateBytes, 'x') + "\"}}");
  m.Biz(a, R"({"business":"TSPD","id":17004,"media_id":"wb-1","data":")" +
               std::string(kiv_proto::kMaxTspdDataBytes + 1, 'x') + "\"}");
  EXPECT_THAT(m.Take(a), ElementsAre(HasSubstr(R"("code":1)"), HasSubstr(R"("code":1)"), HasSubstr(R"("code":1)"),
                                     HasSubstr(R"("code":41)"), HasSubstr(R"("code":41)")));
  EXPECT_TRUE(m.Take(b).empty());
  EXPECT_GE(m.log.size(), 9u);

  m.Stream(a, board, kLine);
  EXPECT_THAT(m.StreamTexts(b), ElementsAre(HasSubstr(R"("seq_id":1,)")));
}

// A value no writer puts out again (a number beyond a double, a lone surrogate) is refused
// where it arrives: nothing of it is relayed or kept, and a joiner still gets the whole board.
TEST_F(BoardBusinessTest, ValuesNoWriterPutsOutAreRefused) {
  const ClientId a = m.Member("alice", "room1");
  const ClientId b = m.Member("bob", "room1");
  const std::string board = NewBoard(a, 1);
  m.Biz(a, Subscribe(board));
  m.Biz(b, Subscribe(board));
  m.Take(a);
  m.Take(b);

  m.Stream(a, board, kLine);
  m.Stream(a, board,
           R"({"id":31000,"type":"line","line":{"pid":0,"gid":2,"action":1,"graph":1,"brush_size":9e308,"x1":1}})");
  m.Stream(a, board, R"({"id":31006,"type":"text","text":{"pid":0,"gid":3,"action":1,"text":"\uDC00","font":"f"}})");
  m.Stream(a, board, R"({"id":31000,"type":"line","line":{"pid":0,"gid":4,"action":1,"graph":1,"x1":1,"\uD800":2}})");
  const auto at_a = m.Take(a);
  ASSERT_EQ(at_a.size(), 4u);
  EXPECT_THAT(at_a[0], HasSubstr(R"("id":17005)"));
  for (size_t i = 1; i < at_a.size(); ++i) EXPECT_THAT(at_a[i], HasSubstr(R"("id":17006,"media_id":"wb-1","code":1)"));
  EXPECT_THAT(m.StreamTexts(b), ElementsAre(HasSubstr(R"("seq_id":1,)")));

  const ClientId late = m.Member("carol", "room1");
  m.Biz(late, Subscribe(board));
  m.Stream(late, board, R"({"id":30003})");
  const auto texts = m.StreamTexts(late);
  ASSERT_EQ(texts.size(), 2u);
  rapidjson::Document full;
  full.Parse(texts[1].c_str() + board.size() + 1);
  ASSERT_TRUE(full.IsObject()) << texts[1];
  ASSERT_TRUE(full["data"].IsArray());
  EXPECT_EQ(full["data"].Size(), 2u);  // the board and the one line
}

// The board count per group and the state size are limits: refusals carry their codes and
// leave the other boards working.
TEST_F(BoardBusinessTest, Limits) {
  BoardLimits limits;
  limits.boards_per_group = 2;
  limits.state_bytes = sizeof(kLine) * 2;
  BoardMeeting small(limits);
  const ClientId a = small.Member("alice", "room1");
  small.Biz(a, Create(1));
  small.Biz(a, Create(2));
  small.Biz(a, Create(3));
  auto answers = small.Take(a);
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[2], R"({"business":"WBS","id":19001,"cli_seq_id":3,"result":40})");
  EXPECT_THAT(small.log.back(), HasSubstr("refused (40)"));

  small.Biz(a, Subscribe("wb-1"));
  small.Biz(a, Subscribe("wb-2"));
  small.Take(a);
  small.Stream(a, "wb-1", kLine);
  small.Stream(a, "wb-1", std::string(kLine).replace(std::string(kLine).find("\"gid\":1"), 7, "\"gid\":2"));
  small.Stream(a, "wb-1", std::string(kLine).replace(std::string(kLine).find("\"gid\":1"), 7, "\"gid\":3"));
  auto got = small.Take(a);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_THAT(got[2], HasSubstr(R"("id":17006,"media_id":"wb-1","code":42)"));
  small.Stream(a, "wb-2", kLine);
  EXPECT_THAT(small.StreamTexts(a), ElementsAre(HasSubstr(R"("seq_id":1,)")));
}

// Board state belongs to the group: it survives a member leaving and coming back, and is
// dropped when the last member has left.
TEST_F(BoardBusinessTest, StateLivesWithTheGroup) {
  const ClientId a = m.Member("alice", "room1");
  const ClientId b = m.Member("bob", "room1");
  const std::string board = NewBoard(a, 1);
  m.Biz(a, R"({"business":"GS","id":14104,"source_type":1,"media_type":4,"media_id":"wb-1","operation":1})");
  m.Biz(a, Subscribe(board));
  m.Stream(a, board, kLine);
  m.core().OnDisconnected(a);
  const ClientId back = m.Member("alice", "room1");
  Group* group = m.core().State().GroupOf(*m.core().State().Client(back));
  ASSERT_NE(group, nullptr);
  ASSERT_NE(m.boards().FindState(*group, board), nullptr);
  EXPECT_EQ(m.boards().FindState(*group, board)->last_seq(), 1u);
  ASSERT_EQ(group->media.size(), 1u) << "the board stays announced";

  m.core().OnDisconnected(back);
  m.core().OnDisconnected(b);
  const ClientId fresh = m.Member("alice", "room1");
  group = m.core().State().GroupOf(*m.core().State().Client(fresh));
  EXPECT_EQ(m.boards().FindState(*group, board), nullptr);
  EXPECT_TRUE(group->media.empty());
}

}  // namespace
}  // namespace kiv_server

namespace kiv_server {
namespace {

// A board whose kept state is near its limit, of texts full of characters that are escaped
// twice on the way, still reaches a new subscriber whole as one full state.
TEST(BoardBusinessLarge, FullStateNearTheLimitIsDelivered) {
  BoardMeeting m;
  const ClientId a = m.Member("alice", "room1");
  m.Biz(a, Create(1));
  m.Biz(a, Subscribe("wb-1"));
  const std::string quotes(20000, '"');
  std::string escaped;
  for (char c : quotes) escaped += std::string("\\") + c;
  int sent = 0;
  for (int gid = 1; gid <= static_cast<int>(kMaxBoardStateBytes / 80000) + 10; ++gid) {
    m.Stream(a, "wb-1",
             R"({"id":31006,"type":"text","text":{"pid":0,"gid":)" + std::to_string(gid) + R"(,"action":1,"text":")" +
                 escaped + R"(","font":"Arial"}})");
    ++sent;
  }
  m.Take(a);
  const Group* group = m.core().State().GroupOf(*m.core().State().Client(a));
  const BoardState* state = m.boards().FindState(*group, "wb-1");
  ASSERT_NE(state, nullptr);
  EXPECT_GT(state->state_bytes(), kMaxBoardStateBytes * 9 / 10);
  EXPECT_LT(state->last_seq(), static_cast<uint32_t>(sent)) << "the last ones were refused";

  m.Stream(a, "wb-1", R"({"id":30003})");
  const auto texts = m.StreamTexts(a);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_GT(texts[0].size(), kiv_proto::kMaxTspdDataBytes);
  rapidjson::Document full;
  full.Parse(texts[0].c_str() + 5);
  ASSERT_TRUE(full.IsObject());
  EXPECT_EQ(full["data"].Size(), state->graph_count() + 1);
}

}  // namespace
}  // namespace kiv_server
