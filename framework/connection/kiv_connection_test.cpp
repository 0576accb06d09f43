// The connection component of Tessarine32.dll under wine64 against the native meeting_server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "connection_recorder.h"
#include "framework_loader.h"
#include "meeting_server_control.h"
#include "winhttp_client.h"

namespace connection_test {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

// Access tokens of application "demo1" (secret "0123456789abcdef"), made with
// `openssl enc -aes-128-cbc -nopad` and the shared IV from
// {"aid":"demo1","uid":<user>,"ts":1700000000,"r":305419896} padded with spaces.
const std::map<std::string, std::string> kTokens = {
    {"alice", "001amO09ApRa327efOnYGPL7Rf+lLXEMGWt/iBpP9V+LG1rPrL1vmE66eEa3Suv5jTcFdS/MhMdc0hJjNx1O2bVlg=="},
    {"bob", "001amO09ApRa327efOnYGPL7VCy/OlTIee+/25S3hXLa1eYhtPEZHhNKE9czwHVBRpv9ZZueJK7pWsE7J/6SSc1rg=="},
    {"carol", "001amO09ApRa327efOnYGPL7bzkg7TJwY1tpZT6z1OKXtozS/7Wqlk3z0xe6kFZnbafKwE1WBxPRTtkpvW1wpwzXQ=="},
    {"dave", "001amO09ApRa327efOnYGPL7dEqVFf/VidbxmWP6ap8jmNVeql/lsZu7ngeWTeALDEHqC3d5GAf4OXfsEncefImPw=="},
};
// alice's record under the key "fedcba9876543210", and under app "nosuchapp".
constexpr char kWrongKeyToken[] =
    "001ENiulQB6ILdcllieRGACdsxMvUj/5c5Hu5RfVKwiwHZrFb2yYKZTAXbJxdOihGuVt4gZBNGQN9eaNIaa66rZuQ==";
constexpr char kNoAppToken[] =
    "001yJOGmX3aELdCdPfCxyzug2gB2fxwlbkz/5CnwFGHbjJ68QtXqZNnkcECIE2W8vqNTFjVbAJxzsewFQ4tNd9IJA==";

// One participant: a connection with its recorder registered everywhere, as the SDK
// registers itself, and its online and text-message businesses.
class Peer {
 public:
  explicit Peer(FrameworkLoader& fw) : conn(fw.CreateConnection()), rec(conn) {
    if (conn == nullptr) return;
    conn->SetListener(&rec);
    conn->AddBusiness(&rec);
    conn->QueryBusiness(avcore::IID_IKivOnline, reinterpret_cast<void**>(&online));
    conn->QueryBusiness(avcore::IID_IKivTMsg, reinterpret_cast<void**>(&tmsg));
    if (online != nullptr) online->SetListener(&rec);
    if (tmsg != nullptr) tmsg->SetListener(&rec);
  }
  ~Peer() {
    if (conn == nullptr) return;
    conn->Logout();
    if (tmsg != nullptr) tmsg->RemoveListener(&rec);
    if (online != nullptr) online->RemoveListener(&rec);
    conn->RemoveBusiness(&rec);
    conn->RemoveListener(&rec);
    rec.JoinTasks();
    if (tmsg != nullptr) tmsg->Release();
    if (online != nullptr) online->Release();
    conn->Release();
  }

  HRESULT Login(const std::string& server, const std::string& user, const std::string& device = "{DEV-1}",
                const char* token = nullptr, const char* app = "demo1") {
    auto it = kTokens.find(user);
    const std::string t = token != nullptr ? token : (it != kTokens.end() ? it->second : "001");
    return conn->Login(server.c_str(), &http, app, t.c_str(), device.c_str(), "", user.c_str(), "windows", "", 1, 1);
  }

  // Login and join, each answered with 0, and the group's list received.
  bool LoginAndJoin(const std::string& server, const std::string& user, const std::string& group) {
    Event e;
    if (Login(server, user, "{" + user + "}") != S_OK || !rec.Wait("login", &e) || e.code != 0) return false;
    if (conn->JoinGroup(group.c_str()) != 0 || !rec.Wait("join", &e) || e.code != 0) return false;
    return rec.Wait("media_list");
  }

  WinHttpClient http;
  avcore::IKivConnection* conn;
  ConnectionRecorder rec;
  avcore::IKivOnline* online = nullptr;
  avcore::IKivTMsg* tmsg = nullptr;
};

class KivConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fw_.ok()) << "Tessarine32.dll did not load";
    std::string why;
    ASSERT_TRUE(server_.Start(0, 0, &why)) << why;
  }

  FrameworkLoader fw_;
  MeetingServerControl server_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
};

// Two connections log in and join one group: results 0 (status 3 already inside the
// login callback and all through the group), each other's arrival, a relayed media
// announcement, the departure; no loss event for their own leave and logout.
TEST_F(KivConnectionTest, TwoConnectionsMeetAndPart) {
  Peer a(fw_), b(fw_);
  ASSERT_NE(a.conn, nullptr);
  Event e;
  EXPECT_EQ(a.conn->GetStatus(), avcore::CPSTATUS_UNCONNECT);
  ASSERT_EQ(a.Login(server_.address(), "alice"), S_OK);
  ASSERT_TRUE(a.rec.Wait("login", &e));
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(e.text, "alice");
  EXPECT_EQ(e.status_in_callback, avcore::CPSTATUS_LOGINED);
  ASSERT_EQ(a.conn->JoinGroup("room-1"), 0);
  ASSERT_TRUE(a.rec.Wait("join", &e));
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(e.text, "room-1");
  ASSERT_TRUE(a.rec.Wait("media_list", &e));
  EXPECT_THAT(e.users, ElementsAre("alice"));
  EXPECT_EQ(e.text, "room-1");
  EXPECT_EQ(a.conn->GetStatus(), avcore::CPSTATUS_LOGINED);

  ASSERT_TRUE(b.LoginAndJoin(server_.address(), "bob", "room-1"));
  ASSERT_TRUE(a.rec.Wait("user_joined", &e));
  EXPECT_EQ(e.text, "bob");

  rapidjson::Document cmd;
  cmd.Parse(R"({"business":"GS","id":14104,"source_type":0,"media_type":2,"media_id":"cam0","operation":1})");
  ASSERT_EQ(b.conn->SendBusinessCmd(cmd), 0);
  ASSERT_TRUE(a.rec.Wait("business", &e));
  EXPECT_EQ(e.code, 14106);
  EXPECT_EQ(
      e.text,
      R"({"business":"GS","id":14106,"user_id":"bob","media_id":"cam0","media_type":2,"operation":1,"media_owner":"bob","media_name":""})");
  ASSERT_TRUE(b.rec.Wait("business", &e));  // the sender's own announcement comes back too
  EXPECT_EQ(a.conn->GetStatus(), avcore::CPSTATUS_LOGINED);

  ASSERT_EQ(b.conn->LeaveGroup(), 0);
  ASSERT_TRUE(b.rec.Wait("leave", &e));
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(e.text, "room-1");
  ASSERT_TRUE(a.rec.Wait("business", &e));
  EXPECT_NE(e.text.find("\"operation\":0"), std::string::npos);
  ASSERT_TRUE(a.rec.Wait("user_left", &e));
  EXPECT_EQ(e.text, "bob");
  EXPECT_EQ(b.conn->GetStatus(), avcore::CPSTATUS_LOGINED);

  EXPECT_EQ(a.conn->Logout(), S_OK);
  EXPECT_EQ(b.conn->Logout(), S_OK);
  EXPECT_EQ(a.conn->GetStatus(), avcore::CPSTATUS_UNCONNECT);
  for (Peer* p : {&a, &b}) {
    EXPECT_EQ(p->rec.Count("logouted") + p->rec.Count("reconnect_start"), 0u);
  }
}

// Refusals: bad token 32, unknown application 33, the same user again 34, no server
// 30; a user id with forbidden characters is refused at the call and nothing is sent.
TEST_F(KivConnectionTest, LoginFailuresAreReported) {
  Event e;
  {
    Peer p(fw_);
    ASSERT_EQ(p.Login(server_.address(), "alice", "{D}", kWrongKeyToken), S_OK);
    ASSERT_TRUE(p.rec.Wait("login", &e));
    EXPECT_EQ(e.code, 32);
    EXPECT_NE(e.from, "");
    EXPECT_EQ(p.conn->GetStatus(), avcore::CPSTATUS_UNCONNECT);
  }
  {
    Peer p(fw_);
    ASSERT_EQ(p.Login(server_.address(), "alice", "{D}", kNoAppToken, "nosuchapp"), S_OK);
    ASSERT_TRUE(p.rec.Wait("login", &e));
    EXPECT_EQ(e.code, 33);
  }
  {
    Peer first(fw_), second(fw_);
    ASSERT_EQ(first.Login(server_.address(), "alice", "{SAME-DEVICE}"), S_OK);
    ASSERT_TRUE(first.rec.Wait("login", &e));
    ASSERT_EQ(e.code, 0);
    ASSERT_EQ(second.Login(server_.address(), "alice", "{SAME-DEVICE}"), S_OK);
    ASSERT_TRUE(second.rec.Wait("login", &e));
    EXPECT_EQ(e.code, 34);
    EXPECT_EQ(first.Login(server_.address(), "alice", "{SAME-DEVICE}"), E_UNEXPECTED);
  }
  {
    Peer p(fw_);
    ASSERT_EQ(p.Login("127.0.0.1:" + std::to_string(UnusedPort()), "alice"), S_OK);
    ASSERT_TRUE(p.rec.Wait("login", &e));
    EXPECT_EQ(e.code, 30);
  }
  {
    Peer p(fw_);
    for (const char* user : {"a b", "a@b", "x;y", ""}) {
      EXPECT_EQ(p.Login(server_.address(), user), E_INVALIDARG) << user;
    }
    EXPECT_EQ(p.Login(server_.address(), std::string(129, 'u')), E_INVALIDARG);
    EXPECT_EQ(p.conn->Login(server_.address().c_str(), nullptr, "demo1", kTokens.at("alice").c_str(), "{D}", "",
                            "alice", "windows", "", 1, 1),
              E_INVALIDARG);
    EXPECT_EQ(p.http.requests, 0);
    EXPECT_EQ(p.conn->JoinGroup("room"), 31);
    rapidjson::Document cmd;
    cmd.Parse(R"({"business":"GS","id":14104})");
    EXPECT_EQ(p.conn->SendBusinessCmd(cmd), 31);
    EXPECT_EQ(p.rec.Count("login"), 0u);
  }
}

// The server killed mid-meeting: each connection reports the loss once; leaving and
// logging out from another thread (as the SDK does) is answered at once; the
// restarted server can be joined again.
TEST_F(KivConnectionTest, ServerKilledMidMeeting) {
  Peer a(fw_), b(fw_);
  a.rec.LeaveAndLogoutOnLoss();
  b.rec.LeaveAndLogoutOnLoss();
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  ASSERT_TRUE(b.LoginAndJoin(server_.address(), "bob", "room"));
  ASSERT_TRUE(a.rec.Wait("user_joined"));

  ASSERT_TRUE(server_.Kill());
  Event e;
  for (Peer* p : {&a, &b}) {
    ASSERT_TRUE(p->rec.Wait("reconnect_start", &e));
    EXPECT_NE(e.status_in_callback, avcore::CPSTATUS_LOGINED);
    ASSERT_TRUE(p->rec.Wait("leave", &e));
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.text, "room");
  }
  a.rec.JoinTasks();
  b.rec.JoinTasks();
  EXPECT_EQ(a.conn->GetStatus(), avcore::CPSTATUS_UNCONNECT);
  EXPECT_EQ(a.rec.Count("reconnect_start"), 1u);
  EXPECT_EQ(a.rec.Count("logouted"), 0u);

  std::string why;
  ASSERT_TRUE(server_.Restart(&why)) << why;
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  ASSERT_TRUE(b.LoginAndJoin(server_.address(), "bob", "room"));
  ASSERT_TRUE(a.rec.Wait("user_joined", &e));
  EXPECT_EQ(e.text, "bob");
}

// Online states and text messages through the businesses of QueryBusiness.
TEST_F(KivConnectionTest, OnlineStatesAndTextMessages) {
  Peer a(fw_), b(fw_), c(fw_);
  uint32_t request = 0;
  EXPECT_EQ(a.online->RefreshAllUserStatus(&request), 31);  // before login: nothing is sent
  EXPECT_NE(request, 0u);
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  ASSERT_TRUE(b.LoginAndJoin(server_.address(), "bob", "room"));
  Event e;
  ASSERT_EQ(c.Login(server_.address(), "carol", "{carol}"), S_OK);
  ASSERT_TRUE(c.rec.Wait("login", &e));
  ASSERT_TRUE(a.rec.Wait("online_notify", &e, 15000, [](const Event& x) { return x.text == "carol"; }));
  EXPECT_EQ(e.code, 1);

  ASSERT_EQ(a.online->RefreshAllUserStatus(&request), S_OK);
  ASSERT_TRUE(a.rec.Wait("status", &e));
  EXPECT_EQ(static_cast<uint32_t>(e.code), request);
  EXPECT_EQ(e.text, "0/0");
  EXPECT_THAT(e.users, UnorderedElementsAre("alice:1:windows:room", "bob:1:windows:room", "carol:1:windows:"));
  avcore::FwVector<avcore::FwString> asked;
  asked.push_back("bob");
  asked.push_back("ghost");
  ASSERT_EQ(a.online->RefreshUserStatus(&asked, &request), S_OK);
  ASSERT_TRUE(a.rec.Wait("status", &e));
  EXPECT_EQ(e.text, "0/2");
  EXPECT_THAT(e.users, ElementsAre("bob:1:windows:room", "ghost"));

  uint32_t id = 0;
  ASSERT_EQ(a.tmsg->SendUserMsg("carol", "hello \xe4\xbd\xa0", &id), S_OK);
  ASSERT_TRUE(c.rec.Wait("user_msg", &e));
  EXPECT_EQ(e.from, "alice");
  EXPECT_EQ(e.text, "hello \xe4\xbd\xa0");
  EXPECT_EQ(static_cast<uint32_t>(e.code), id);
  ASSERT_EQ(a.tmsg->SendGroupMsg("to the room", nullptr), S_OK);
  ASSERT_TRUE(b.rec.Wait("group_msg", &e));
  EXPECT_EQ(e.text, "to the room");
  avcore::FwVector<avcore::FwString> to;
  to.push_back("carol");
  ASSERT_EQ(a.tmsg->SendUsersMsg(&to, "list as group", nullptr), S_OK);
  ASSERT_TRUE(c.rec.Wait("group_msg", &e));
  EXPECT_EQ(e.text, "list as group");
  ASSERT_EQ(a.tmsg->SendUsersMsgEx(&to, "list as private", nullptr), S_OK);
  ASSERT_TRUE(c.rec.Wait("user_msg", &e));
  EXPECT_EQ(e.text, "list as private");
  EXPECT_EQ(a.tmsg->SendUserMsg(nullptr, "x", nullptr), 1);
  // Nothing came back to the sender.
  EXPECT_EQ(a.rec.Count("user_msg") + a.rec.Count("group_msg"), 0u);
}

// An invitation reaches the invitees; accepting and refusing reach the inviter; the
// inviter logging out withdraws what is still unanswered.
TEST_F(KivConnectionTest, Invitations) {
  auto a = std::make_unique<Peer>(fw_);
  Peer b(fw_), c(fw_);
  Event e;
  for (auto [peer, user] : {std::pair<Peer*, const char*>{a.get(), "alice"}, {&b, "bob"}, {&c, "carol"}}) {
    ASSERT_EQ(peer->Login(server_.address(), user, std::string("{") + user + "}"), S_OK);
    ASSERT_TRUE(peer->rec.Wait("login", &e));
    ASSERT_EQ(e.code, 0);
  }
  avcore::FwVector<avcore::FwString> users;
  users.push_back("bob");
  users.push_back("carol");
  uint32_t request = 0;
  ASSERT_EQ(a->online->InviteUsers(&users, nullptr, "room1", "\xe8\xaf\xb7\xe6\x9d\xa5", &request), S_OK);
  EXPECT_NE(request, 0u);
  ASSERT_TRUE(b.rec.Wait("invite", &e));
  EXPECT_EQ(e.from, "alice");
  EXPECT_EQ(e.text, "room1 \xe8\xaf\xb7\xe6\x9d\xa5");
  const int id = e.code;
  ASSERT_TRUE(c.rec.Wait("invite", &e));
  EXPECT_EQ(e.code, id);

  ASSERT_EQ(b.online->AcceptInvite("alice", id, ""), S_OK);
  ASSERT_TRUE(a->rec.Wait("accepted", &e));
  EXPECT_EQ(e.from, "bob");
  EXPECT_EQ(e.code, id);
  avcore::FwVector<avcore::FwString> none;
  EXPECT_EQ(a->online->InviteUsers(&none, nullptr, "room1", "", nullptr), 1);

  ASSERT_EQ(a->online->InviteUsers(&users, nullptr, "room2", "again", &request), S_OK);
  ASSERT_TRUE(c.rec.Wait("invite", &e, 15000, [](const Event& x) { return x.text == "room2 again"; }));
  const int second = e.code;
  ASSERT_EQ(c.online->RefuseInvite("alice", second, ""), S_OK);
  ASSERT_TRUE(a->rec.Wait("refused", &e));
  EXPECT_EQ(e.from, "carol");
  EXPECT_EQ(e.code, second);
  a.reset();  // alice logs out: bob's second invitation is withdrawn
  ASSERT_TRUE(b.rec.Wait("canceled", &e));
  EXPECT_EQ(e.code, second);
}

// A business held after the connection's release is refused safely; once everything
// is released the library holds no object.
TEST_F(KivConnectionTest, BusinessesOutliveTheConnectionSafely) {
  const long live_before = fw_.LiveObjects();
  avcore::IKivConnection* conn = fw_.CreateConnection();
  ASSERT_NE(conn, nullptr);
  avcore::IKivOnline* online = nullptr;
  avcore::IKivTMsg* tmsg = nullptr;
  ASSERT_EQ(conn->QueryBusiness(avcore::IID_IKivOnline, reinterpret_cast<void**>(&online)), S_OK);
  ASSERT_EQ(conn->QueryBusiness(avcore::IID_IKivTMsg, reinterpret_cast<void**>(&tmsg)), S_OK);
  void* other = nullptr;
  EXPECT_EQ(conn->QueryBusiness(avcore::IID_IKivConnection, &other), E_NOINTERFACE);
  EXPECT_EQ(conn->QueryBusiness(avcore::IID_IKivOnline, nullptr), E_POINTER);
  WinHttpClient http;
  ASSERT_EQ(conn->Login(server_.address().c_str(), &http, "demo1", kTokens.at("dave").c_str(), "{dave}", "", "dave",
                        "windows", "", 1, 1),
            S_OK);
  conn->Release();  // logs out and stops
  uint32_t request = 0;
  EXPECT_EQ(online->RefreshAllUserStatus(&request), E_FAIL);
  EXPECT_EQ(tmsg->SendGroupMsg("late", nullptr), E_FAIL);
  online->Release();
  tmsg->Release();
  EXPECT_EQ(fw_.LiveObjects(), live_before);
}

}  // namespace
}  // namespace connection_test
