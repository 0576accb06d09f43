// Whiteboards between meeting participants: Windows test hosts, each with its own engine
// under wine64, and native clients against a real meeting server on loopback. Run from the
// x64 tree with --host=<path of kiv_wb_test_host.exe> [--shots=<folder for screenshots>].
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "protocol/messages/tspd_messages.h"
#include "server/testing/server_process.h"
#include "server/testing/test_client.h"
#include "testing/hosts/command_line_option.h"
#include "testing/hosts/host_boards.h"
#include "testing/hosts/host_meeting.h"
#include "testing/hosts/wine_host.h"

using kiv_test::ServerProcess;
using kiv_test::WineHost;
using namespace std::chrono_literals;

namespace {

std::string g_hostPath;
std::string g_shots;

bool StartsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

struct WbHostsTest : ::testing::Test {
  void SetUp() override {
    ASSERT_FALSE(g_hostPath.empty()) << "run with --host=<kiv_wb_test_host.exe>";
    ASSERT_TRUE(server.Start());
  }

  // A host logged in as `user` and joined to `group`.
  std::unique_ptr<WineHost> Member(const std::string& user, const std::string& group) {
    auto host = std::make_unique<WineHost>(user, g_hostPath);
    EXPECT_EQ(kiv_test::JoinMeeting(*host, server.address(), user, group), "");
    return host;
  }
  // Creates a board of two pages named `name` and returns its id.
  std::string Create(WineHost& host, const std::string& name) {
    const std::string board = kiv_test::CreateBoard(host, name, 2);
    EXPECT_NE(board, "") << host.Transcript();
    return board;
  }
  // The next board message at the host's board controller that begins with `prefix`.
  std::string Data(WineHost& host, const std::string& board, const std::string& prefix,
                   std::chrono::milliseconds wait = 20s) {
    std::string line;
    const std::string head = "data " + board + " ";
    if (!host.Expect([&](const std::string& l) { return StartsWith(l, head + prefix); }, wait, &line)) return "";
    return line.substr(head.size());
  }
  // The next relayed update, the next sequence notice, the next full state.
  std::string Update(WineHost& host, const std::string& board, std::chrono::milliseconds wait = 20s) {
    return Data(host, board, "{\"id\":31", wait);
  }
  std::string Notice(WineHost& host, const std::string& board) { return Data(host, board, "{\"id\":30000,"); }
  std::string State(WineHost& host, const std::string& board) { return Data(host, board, "{\"id\":30004,"); }

  ServerProcess server;
};

std::string Seq(const std::string& text) {
  const size_t at = text.find("\"seq_id\":");
  return at == std::string::npos ? "" : text.substr(at + 9, text.find_first_of(",}", at) - at - 9);
}

std::string Gid(const std::string& text) {
  const size_t at = text.find("\"gid\":");
  return at == std::string::npos ? "" : text.substr(at + 6, text.find_first_of(",}", at) - at - 6);
}

}  // namespace

// A creates a blank board and gets the result matched to its request; B is told of the board;
// both open it in a child window (screenshots); a second board and B's own board at the same
// time are kept apart by id; A destroys the first board and B is told.
TEST_F(WbHostsTest, BoardsBetweenHosts) {
  auto alice = Member("alice", "room-wb");
  auto bob = Member("bob", "room-wb");
  const std::string plan = Create(*alice, "plan");
  EXPECT_TRUE(bob->ExpectLine("published " + plan + " plan", 20s)) << bob->Transcript();
  EXPECT_TRUE(alice->ExpectLine("published " + plan + " plan", 20s)) << alice->Transcript();

  for (WineHost* host : {alice.get(), bob.get()}) {
    EXPECT_EQ(host->Call("open " + plan, 10s), 0) << host->Transcript();
    EXPECT_EQ(host->Call("window " + plan, 10s), 1) << host->Transcript();
    // The board's full state reaches the new subscriber.
    EXPECT_TRUE(host->Expect([&](const std::string& l) { return l == "info " + plan + " plan 2 0"; }, 20s))
        << host->Transcript();
  }
  // Two requests from A and one from B in flight at once: each answer reaches its requester
  // under the name it asked for.
  alice->Send("create notes 1");
  bob->Send("create sketch 1");
  alice->Send("create agenda 3");
  const std::string notes = kiv_test::AwaitCreated(*alice, "notes", 20s);
  ASSERT_NE(notes, "") << alice->Transcript();
  const std::string agenda = kiv_test::AwaitCreated(*alice, "agenda", 20s);
  ASSERT_NE(agenda, "") << alice->Transcript();
  const std::string sketch = kiv_test::AwaitCreated(*bob, "sketch", 20s);
  ASSERT_NE(sketch, "") << bob->Transcript();
  EXPECT_NE(notes, agenda);
  EXPECT_NE(notes, sketch);
  EXPECT_FALSE(alice->HasLine("created " + sketch + " sketch 0"));
  EXPECT_FALSE(bob->Expect([](const std::string& l) { return StartsWith(l, "created "); }, 300ms));
  EXPECT_TRUE(bob->ExpectLine("published " + agenda + " agenda", 20s)) << bob->Transcript();
  EXPECT_EQ(alice->Call("open " + agenda, 10s), 0);
  EXPECT_TRUE(alice->ExpectLine("info " + agenda + " agenda 3 0", 20s)) << alice->Transcript();
  EXPECT_EQ(alice->Call("pages " + agenda, 10s), 3);
  EXPECT_EQ(alice->Call("pages " + plan, 10s), 2);
  if (!g_shots.empty()) {
    mkdir(g_shots.c_str(), 0755);
    EXPECT_EQ(alice->Call("shot " + g_shots + "/board_alice.bmp", 10s), 1);
    EXPECT_EQ(bob->Call("shot " + g_shots + "/board_bob.bmp", 10s), 1);
  }

  EXPECT_EQ(alice->Call("destroy " + plan, 10s), 0);
  EXPECT_TRUE(bob->ExpectLine("unpublished " + plan, 20s)) << bob->Transcript();
  EXPECT_EQ(alice->Call("window " + plan, 10s), 1) << "the window stays until Close";
  EXPECT_EQ(alice->Call("close " + plan, 10s), 0);
  EXPECT_EQ(alice->Call("window " + plan, 10s), 0);
  EXPECT_EQ(bob->Call("close " + plan, 10s), 0);
  EXPECT_EQ(alice->Call("pages " + agenda, 10s), 3) << "the other board is intact";
  EXPECT_EQ(alice->Finish(20s), 0) << alice->Transcript();
  EXPECT_EQ(bob->Finish(20s), 0) << bob->Transcript();
  EXPECT_TRUE(server.Alive());
}

// Board data reaches B's board in order with the server's numbers, and A's own come back
// numbered; a late joiner gets the full state; a host whose link was down for 3 s misses
// updates and catches up through the full state.
TEST_F(WbHostsTest, BoardDataAndCatchUp) {
  auto alice = Member("alice", "room-data");
  auto bob = Member("bob", "room-data");
  const std::string board = Create(*alice, "plan");
  ASSERT_TRUE(bob->ExpectLine("published " + board + " plan", 20s)) << bob->Transcript();
  for (WineHost* host : {alice.get(), bob.get()}) {
    ASSERT_EQ(host->Call("open " + board, 10s), 0);
    ASSERT_TRUE(host->ExpectLine("info " + board + " plan 2 0", 20s)) << host->Transcript();
    EXPECT_EQ(Notice(*host, board), "{\"id\":30000,\"seq_id\":0}");
    EXPECT_NE(State(*host, board), "");
  }
  EXPECT_EQ(alice->Call("lines " + board + " 1 20", 20s), 0);
  for (WineHost* host : {bob.get(), alice.get()}) {
    for (int i = 1; i <= 20; ++i) {
      const std::string text = Update(*host, board);
      EXPECT_EQ(Seq(text), std::to_string(i)) << text;
      EXPECT_EQ(Gid(text), std::to_string(i)) << text;
    }
  }
  // Refused data is never relayed.
  EXPECT_EQ(alice->Call("send " + board + " {\"id\":31000,\"type\":\"curve\"}", 10s), 0);
  EXPECT_EQ(alice->Call("send " + board + " not json", 10s), 0);
  EXPECT_EQ(alice->Call("lines " + board + " 21 1", 10s), 0);
  EXPECT_EQ(Seq(Update(*bob, board)), "21");

  // Late joiner.
  auto carol = Member("carol", "room-data");
  ASSERT_TRUE(carol->ExpectLine("published " + board + " plan", 20s)) << carol->Transcript();
  ASSERT_EQ(carol->Call("open " + board, 10s), 0);
  EXPECT_EQ(Notice(*carol, board), "{\"id\":30000,\"seq_id\":21}");
  const std::string full = State(*carol, board);
  EXPECT_TRUE(StartsWith(full, "{\"id\":30004,\"seq_id\":21,\"data\":[{\"board\":")) << full;
  for (int i = 1; i <= 21; ++i) EXPECT_NE(full.find("\"gid\":" + std::to_string(i) + ","), std::string::npos) << i;

  // B's network goes away for 3 s while A draws on: its engine reports the lost connection,
  // leaves and logs out; once back it logs in, joins, opens the board and catches up.
  EXPECT_EQ(bob->Call("cut 3000", 10s), 1);
  EXPECT_TRUE(bob->ExpectLine("event 1 30", 20s)) << bob->Transcript();
  EXPECT_EQ(alice->Call("lines " + board + " 22 5", 10s), 0);
  EXPECT_FALSE(bob->Expect([&](const std::string& l) { return l.find("\"gid\":22,") != std::string::npos; }, 1s));
  std::this_thread::sleep_for(3s);
  EXPECT_EQ(kiv_test::EnterGroup(*bob, "bob", "room-data"), "");
  ASSERT_TRUE(bob->ExpectLine("published " + board + " plan", 20s)) << bob->Transcript();
  ASSERT_EQ(bob->Call("open " + board, 10s), 0);
  EXPECT_EQ(Notice(*bob, board), "{\"id\":30000,\"seq_id\":26}") << bob->Transcript();
  const std::string caught = State(*bob, board);
  for (int i = 1; i <= 26; ++i) EXPECT_NE(caught.find("\"gid\":" + std::to_string(i) + ","), std::string::npos) << i;
  EXPECT_TRUE(StartsWith(caught, "{\"id\":30004,\"seq_id\":26,")) << caught;
  // The same board data as a member that never left.
  EXPECT_EQ(carol->Call("close " + board, 10s), 0);
  EXPECT_EQ(carol->Call("open " + board, 10s), 0);
  EXPECT_EQ(Notice(*carol, board), "{\"id\":30000,\"seq_id\":26}");
  EXPECT_EQ(State(*carol, board), caught);
  for (auto* host : {alice.get(), bob.get(), carol.get()}) EXPECT_EQ(host->Finish(20s), 0) << host->Transcript();
}

// A client outside the board's group (a native session of the same application) cannot
// subscribe, read or write the board; the members see nothing of its attempts.
TEST_F(WbHostsTest, OutsiderReachesNoBoard) {
  auto alice = Member("alice", "room-in");
  const std::string board = Create(*alice, "secret");
  ASSERT_EQ(alice->Call("open " + board, 10s), 0);
  ASSERT_TRUE(alice->ExpectLine("info " + board + " secret 2 0", 20s)) << alice->Transcript();

  kiv_test::TestClient outsider;
  ASSERT_TRUE(outsider.LoginAndJoin(server.address(), "mallory", "room-out"));
  ASSERT_EQ(outsider.session.SendBusiness(kiv_proto::EncodeTspdMedia(kiv_proto::kTspdSubscribe, board)), 0);
  kiv_test::SessionEvent e;
  ASSERT_TRUE(outsider.events.Wait("business", &e));
  EXPECT_EQ(e.code, kiv_proto::kTspdSubscribeResult);
  EXPECT_NE(e.body.find("\"result\":43"), std::string::npos) << e.body;
  ASSERT_EQ(outsider.session.SendBusiness(kiv_proto::EncodeTspdData(
                kiv_proto::kTspdSend, {board, R"({"id":31000,"type":"line","line":{"pid":0,"gid":9,"action":1}})"})),
            0);
  ASSERT_TRUE(outsider.events.Wait("business", &e));
  EXPECT_EQ(e.code, kiv_proto::kTspdRefused);
  ASSERT_EQ(outsider.session.SendBusiness(kiv_proto::EncodeTspdData(kiv_proto::kTspdSend, {board, R"({"id":30003})"})),
            0);
  ASSERT_TRUE(outsider.events.Wait("business", &e));
  EXPECT_EQ(e.code, kiv_proto::kTspdRefused);
  EXPECT_FALSE(outsider.events.Wait("business", &e, 500));
  EXPECT_EQ(Update(*alice, board, 1s), "") << "nothing of the outsider reached the board";
  EXPECT_EQ(alice->Finish(20s), 0) << alice->Transcript();
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_hostPath = kiv_test::OptionValue(argc, argv, "host");
  g_shots = kiv_test::OptionValue(argc, argv, "shots");
  return RUN_ALL_TESTS();
}
