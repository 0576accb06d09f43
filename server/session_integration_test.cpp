// Client sessions against a running meeting_server over loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <rapidjson/document.h>

#include "server/testing/server_process.h"
#include "server/testing/test_client.h"

namespace kiv_test {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

class CountingGetter : public kiv_proto::IHttpGetter {
 public:
  explicit CountingGetter(kiv_proto::IHttpGetter& inner) : inner_(inner) {}
  std::string Get(const std::string& url) override {
    ++calls;
    return inner_.Get(url);
  }
  void Cancel() override { inner_.Cancel(); }
  int calls = 0;

 private:
  kiv_proto::IHttpGetter& inner_;
};

rapidjson::Document Json(const std::string& text) {
  rapidjson::Document d;
  d.Parse(text.c_str());
  return d;
}

class SessionIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }
  ServerProcess server_;
};

// Two clients log in and join one group: each sees 0 results, the other's arrival
// and the full member list; leaving raises the other's departure; results arrive.
TEST_F(SessionIntegrationTest, TwoClientsMeetAndPart) {
  TestClient a, b;
  SessionEvent e;
  ASSERT_EQ(a.Login(server_.address(), "alice"), 0);
  ASSERT_TRUE(a.events.Wait("login", &e));
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(a.session.Status(), kiv_proto::kStatusLogined);
  ASSERT_EQ(a.session.JoinGroup("room-1"), 0);
  ASSERT_TRUE(a.events.Wait("join", &e));
  EXPECT_EQ(e.code, 0);
  ASSERT_TRUE(a.events.Wait("media_list", &e));
  EXPECT_THAT(e.users, ElementsAre("alice"));
  EXPECT_EQ(a.session.Status(), kiv_proto::kStatusLogined);  // in a group it stays 3

  ASSERT_TRUE(b.LoginAndJoin(server_.address(), "bob", "room-1"));
  ASSERT_TRUE(a.events.Wait("user_joined", &e));
  EXPECT_EQ(e.text, "bob");

  // A media announcement reaches both, the sender included.
  ASSERT_EQ(b.session.SendBusiness(
                Json(R"({"business":"GS","id":14104,"source_type":0,"media_type":2,"media_id":"cam0","operation":1})")),
            0);
  auto is_gs = [](const SessionEvent& x) { return x.code == 14106; };
  ASSERT_TRUE(a.events.Wait("business", &e, 10000, is_gs));
  EXPECT_EQ(
      e.body,
      R"({"business":"GS","id":14106,"user_id":"bob","media_id":"cam0","media_type":2,"operation":1,"media_owner":"bob","media_name":""})");
  ASSERT_TRUE(b.events.Wait("business", &e, 10000, is_gs));

  ASSERT_EQ(b.session.LeaveGroup(), 0);
  ASSERT_TRUE(b.events.Wait("leave", &e));
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(e.text, "room-1");
  ASSERT_TRUE(a.events.Wait("business", &e, 10000, is_gs));
  EXPECT_NE(e.body.find("\"operation\":0"), std::string::npos);  // bob's camera withdrawn
  ASSERT_TRUE(a.events.Wait("user_left", &e));
  EXPECT_EQ(e.text, "bob");
  EXPECT_EQ(b.session.LeaveGroup(), 2);  // not in a group any more

  ASSERT_EQ(a.session.LeaveGroup(), 0);
  ASSERT_TRUE(a.events.Wait("leave", &e));
  EXPECT_EQ(a.session.Logout(), 0);
  EXPECT_EQ(b.session.Logout(), 0);
  EXPECT_EQ(a.session.Status(), kiv_proto::kStatusUnconnect);
  EXPECT_EQ(a.session.Logout(), 2);
  // Our own logout raises no lost-link or logout event.
  EXPECT_EQ(a.events.Count("reconnect_start") + a.events.Count("logouted"), 0u);
  EXPECT_EQ(b.events.Count("reconnect_start") + b.events.Count("logouted"), 0u);
}

// Login failures: bad token 32, unknown application 33, second login of a user 34,
// no server 30; a forbidden user id is refused before anything is sent.
TEST_F(SessionIntegrationTest, LoginFailuresCarryTheirCodes) {
  SessionEvent e;
  TestClient bad_token;
  kiv_proto::LoginParams p;
  p.server = server_.address();
  p.app_id = kTestApp;
  p.token = MakeToken("eve", kTestApp, "fedcba9876543210");
  p.device_id = "{E}";
  p.user_id = "eve";
  ASSERT_EQ(bad_token.session.Login(p, &bad_token.http), 0);
  ASSERT_TRUE(bad_token.events.Wait("login", &e));
  EXPECT_EQ(e.code, 32);
  EXPECT_EQ(e.text, "token does not decrypt to its record");
  EXPECT_EQ(bad_token.session.Status(), kiv_proto::kStatusUnconnect);

  TestClient no_app;
  p.app_id = "nosuchapp";
  p.token = MakeToken("eve", "nosuchapp");
  ASSERT_EQ(no_app.session.Login(p, &no_app.http), 0);
  ASSERT_TRUE(no_app.events.Wait("login", &e));
  EXPECT_EQ(e.code, 33);

  TestClient first, second;
  ASSERT_EQ(first.Login(server_.address(), "alice", "{DEV-A}"), 0);
  ASSERT_TRUE(first.events.Wait("login", &e));
  ASSERT_EQ(second.Login(server_.address(), "alice", "{DEV-A}"), 0);  // same device, force set
  ASSERT_TRUE(second.events.Wait("login", &e));
  EXPECT_EQ(e.code, 34);
  EXPECT_EQ(second.Login(server_.address(), "alice", "{DEV-A}"), 0);  // a failed login can be retried
  ASSERT_TRUE(second.events.Wait("login", &e));
  EXPECT_EQ(e.code, 34);
  EXPECT_EQ(first.Login(server_.address(), "alice"), 2);  // already logged in
  // From another device the forced login takes over; the first hears the server end it.
  TestClient third;
  ASSERT_EQ(third.Login(server_.address(), "alice", "{DEV-C}"), 0);
  ASSERT_TRUE(third.events.Wait("login", &e));
  EXPECT_EQ(e.code, 0);
  ASSERT_TRUE(first.events.Wait("logouted", &e));
  EXPECT_EQ(e.code, 34);
  EXPECT_EQ(first.session.Status(), kiv_proto::kStatusUnconnect);
  EXPECT_EQ(first.events.Count("reconnect_start"), 0u);

  TestClient nobody;
  ASSERT_EQ(nobody.Login("127.0.0.1:" + std::to_string(UnusedPort()), "carol"), 0);
  ASSERT_TRUE(nobody.events.Wait("login", &e));
  EXPECT_EQ(e.code, 30);

  TestClient forbidden;
  CountingGetter counting(forbidden.http);
  p.app_id = kTestApp;
  for (const char* user : {"a b", "a@b", "x;y", ""}) {
    p.user_id = user;
    p.token = MakeToken(user);
    EXPECT_EQ(forbidden.session.Login(p, &counting), 1) << user;
  }
  p.user_id = std::string(129, 'u');
  EXPECT_EQ(forbidden.session.Login(p, &counting), 1);
  EXPECT_EQ(counting.calls, 0);
  EXPECT_EQ(forbidden.session.Status(), kiv_proto::kStatusUnconnect);
  EXPECT_EQ(forbidden.session.JoinGroup("room"), 31);
}

// The server killed mid-meeting: both clients see the loss; once the server is back
// on its address they reconnect, join again and see each other.
TEST_F(SessionIntegrationTest, ClientsSurviveServerRestart) {
  TestClient a, b;
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  ASSERT_TRUE(b.LoginAndJoin(server_.address(), "bob", "room"));
  ASSERT_TRUE(a.events.Wait("user_joined"));

  server_.Kill();
  ASSERT_TRUE(a.events.Wait("reconnect_start"));
  ASSERT_TRUE(b.events.Wait("reconnect_start"));
  EXPECT_NE(a.session.Status(), kiv_proto::kStatusLogined);
  EXPECT_EQ(a.session.SendBusiness(Json(R"({"business":"GS","id":14104})")), 31);

  ASSERT_TRUE(server_.Restart());
  SessionEvent e;
  ASSERT_TRUE(a.events.Wait("reconnect_ok"));
  ASSERT_TRUE(b.events.Wait("reconnect_ok"));
  EXPECT_EQ(a.session.Status(), kiv_proto::kStatusLogined);
  ASSERT_TRUE(a.events.Wait("media_list"));
  ASSERT_TRUE(b.events.Wait("media_list"));
  EXPECT_EQ(a.events.Count("join"), 1u);  // the group is joined again quietly
  EXPECT_EQ(a.session.GroupId(), "room");
  TestClient c;
  ASSERT_EQ(c.Login(server_.address(), "carol"), 0);
  ASSERT_TRUE(c.events.Wait("login"));
  ASSERT_EQ(c.session.JoinGroup("room"), 0);
  ASSERT_TRUE(c.events.Wait("media_list", &e));
  EXPECT_THAT(e.users, UnorderedElementsAre("alice", "bob", "carol"));
}

// After a loss the application may log out (as the SDK does) and log in afresh to
// the restarted server; a leave asked while the link is down is answered at once.
TEST_F(SessionIntegrationTest, LogoutAfterLossThenFreshLogin) {
  TestClient a;
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  server_.Kill();
  ASSERT_TRUE(a.events.Wait("reconnect_start"));
  SessionEvent e;
  EXPECT_EQ(a.session.LeaveGroup(), 0);
  ASSERT_TRUE(a.events.Wait("leave", &e));
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(a.session.Logout(), 0);
  ASSERT_TRUE(server_.Restart());
  TestClient b;
  ASSERT_TRUE(b.LoginAndJoin(server_.address(), "bob", "room"));
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  ASSERT_TRUE(b.events.Wait("user_joined", &e));
  EXPECT_EQ(e.text, "alice");
  EXPECT_EQ(a.events.Count("reconnect_ok") + a.events.Count("reconnect_fail"), 0u);
}

// With the server gone for good, reconnection gives up with 30 after its window.
TEST_F(SessionIntegrationTest, ReconnectGivesUp) {
  kiv_proto::SessionOptions o = TestClient::TestOptions();
  o.reconnect_window_ms = 800;
  TestClient a(o);
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  server_.Kill();
  SessionEvent e;
  ASSERT_TRUE(a.events.Wait("reconnect_start"));
  ASSERT_TRUE(a.events.Wait("reconnect_fail", &e));
  EXPECT_EQ(e.code, 30);
  EXPECT_EQ(a.session.Status(), kiv_proto::kStatusUnconnect);
  EXPECT_EQ(a.session.GroupId(), "");
}

// Business replies and text messages travel end to end; the server drops a client
// whose heartbeats stop, which the others see as its departure.
TEST_F(SessionIntegrationTest, BusinessMessagesAndHeartbeats) {
  ASSERT_TRUE(server_.Start(0, 0, 600));  // idle limit 600 ms
  kiv_proto::SessionOptions live = TestClient::TestOptions();
  live.heartbeat_ms = 100;
  kiv_proto::SessionOptions mute = live;
  mute.heartbeat_ms = 60000;
  mute.idle_timeout_ms = 60000;
  mute.reconnect_window_ms = 300;
  TestClient a(live), b(mute);
  ASSERT_TRUE(a.LoginAndJoin(server_.address(), "alice", "room"));
  ASSERT_TRUE(b.LoginAndJoin(server_.address(), "bob", "room"));

  SessionEvent e;
  ASSERT_EQ(a.session.SendBusiness(Json(R"({"business":"TMSG","id":16000,"to":"bob","text":"hello","msg_id":1})")), 0);
  ASSERT_TRUE(b.events.Wait("business", &e, 10000, [](const SessionEvent& x) { return x.code == 16001; }));
  EXPECT_EQ(e.body, R"({"business":"TMSG","id":16001,"from":"alice","text":"hello","msg_id":1})");
  ASSERT_EQ(a.session.SendBusiness(Json(R"({"business":"ONLINE","id":15000,"req_id":9})")), 0);
  ASSERT_TRUE(a.events.Wait("business", &e, 10000, [](const SessionEvent& x) { return x.code == 15001; }));
  EXPECT_NE(e.body.find("\"user_id\":\"bob\",\"status\":1"), std::string::npos);
  EXPECT_EQ(a.session.SendBusiness(Json(R"({"id":1})")), 1);

  // bob never pings: the server drops it; alice, pinging, stays.
  ASSERT_TRUE(a.events.Wait("user_left", &e));
  EXPECT_EQ(e.text, "bob");
  ASSERT_TRUE(b.events.Wait("reconnect_start"));
  EXPECT_EQ(a.session.Status(), kiv_proto::kStatusLogined);
  EXPECT_EQ(a.events.Count("reconnect_start"), 0u);
}

}  // namespace
}  // namespace kiv_test
