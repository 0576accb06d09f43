// Two meeting participants, each a Windows test host with its own engine under wine64, log in
// to a real meeting server on loopback and meet in one group. Run from the x64 tree with
// --host=<path of kiv_cp_test_host.exe>.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "server/testing/server_process.h"
#include "testing/hosts/command_line_option.h"
#include "testing/hosts/wine_host.h"

using kiv_test::ServerProcess;
using kiv_test::WineHost;
using namespace std::chrono_literals;

namespace {

std::string g_hostPath;

// A host that has started and initialised its engine for `app` on `server`.
std::unique_ptr<WineHost> StartHost(const std::string& name, const std::string& app, const std::string& server) {
  auto host = std::make_unique<WineHost>(name, g_hostPath);
  EXPECT_TRUE(host->Started());
  EXPECT_TRUE(host->ExpectLine("ready", 30s)) << host->Transcript();
  EXPECT_EQ(host->Call("init " + app + " " + server, 30s), 0) << host->Transcript();
  return host;
}

bool StartsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

// The user list event that contains `user`.
bool ListsUser(const std::string& line, const std::string& user) {
  return StartsWith(line, "users") && (line + " ").find(" " + user + " ") != std::string::npos;
}

struct CpIntegrationTest : ::testing::Test {
  void SetUp() override {
    ASSERT_FALSE(g_hostPath.empty()) << "run with --host=<kiv_cp_test_host.exe>";
    ASSERT_TRUE(server.Start());
  }

  // Logs in and waits for the login result.
  void LogIn(WineHost& host, const std::string& user, int expected = 0) {
    ASSERT_EQ(host.Call("login " + kiv_test::MakeToken(user) + " " + user, 10s), 0) << host.Transcript();
    ASSERT_TRUE(host.ExpectLine("event 3 " + std::to_string(expected), 20s)) << host.Transcript();
  }
  // Joins and waits for the join result and the group's user list.
  void Join(WineHost& host, const std::string& group, const std::string& self) {
    ASSERT_EQ(host.Call("join " + group, 10s), 0) << host.Transcript();
    ASSERT_TRUE(host.ExpectLine("event 0 0", 20s)) << host.Transcript();
    ASSERT_TRUE(host.Expect([&](const std::string& l) { return ListsUser(l, self); }, 20s)) << host.Transcript();
  }

  ServerProcess server;
};

}  // namespace

// Both log in and join one group, each sees the other arrive, leaving raises the other's
// departure, and the leave results arrive.
TEST_F(CpIntegrationTest, TwoHostsMeet) {
  auto alice = StartHost("alice", kiv_test::kTestApp, server.address());
  auto bob = StartHost("bob", kiv_test::kTestApp, server.address());
  ASSERT_NO_FATAL_FAILURE(LogIn(*alice, "alice"));
  ASSERT_NO_FATAL_FAILURE(LogIn(*bob, "bob_2"));

  ASSERT_NO_FATAL_FAILURE(Join(*alice, "room-1", "alice"));
  ASSERT_NO_FATAL_FAILURE(Join(*bob, "room-1", "bob_2"));
  EXPECT_TRUE(alice->ExpectLine("user bob_2 0", 20s)) << alice->Transcript();

  EXPECT_EQ(bob->Call("leave", 10s), 0);
  EXPECT_TRUE(bob->ExpectLine("event 4 0", 20s)) << bob->Transcript();
  EXPECT_TRUE(alice->ExpectLine("user bob_2 1", 20s)) << alice->Transcript();
  EXPECT_EQ(bob->Call("logout", 10s), 0);

  // Back again: alice is listed to bob on his join and he arrives for her.
  ASSERT_NO_FATAL_FAILURE(LogIn(*bob, "bob_2"));
  ASSERT_NO_FATAL_FAILURE(Join(*bob, "room-1", "bob_2"));
  EXPECT_TRUE(alice->ExpectLine("user bob_2 0", 20s)) << alice->Transcript();

  EXPECT_EQ(alice->Call("leave", 10s), 0);
  EXPECT_TRUE(alice->ExpectLine("event 4 0", 20s)) << alice->Transcript();
  EXPECT_TRUE(bob->ExpectLine("user alice 1", 20s)) << bob->Transcript();
  EXPECT_EQ(alice->Call("logout", 10s), 0);
  EXPECT_EQ(alice->Finish(20s), 0) << alice->Transcript();
  EXPECT_EQ(bob->Finish(20s), 0) << bob->Transcript();
  EXPECT_TRUE(server.Alive());
}

// The server's refusals arrive as login results 32, 33 and 34; no server gives 30; a user id
// with other characters is refused before anything is sent.
TEST_F(CpIntegrationTest, LoginRefusals) {
  auto host = StartHost("host", kiv_test::kTestApp, server.address());
  ASSERT_EQ(host->Call("login " + kiv_test::MakeToken("carol", kiv_test::kTestApp, "fedcba9876543210") + " carol", 10s),
            0);
  EXPECT_TRUE(host->ExpectLine("event 3 32", 20s)) << host->Transcript();
  ASSERT_EQ(host->Call("login 001bm90IGEgdG9rZW4= carol", 10s), 0);
  EXPECT_TRUE(host->ExpectLine("event 3 32", 20s)) << host->Transcript();

  EXPECT_EQ(host->Call("login " + kiv_test::MakeToken("carol") + " bad@user", 10s), 1);
  EXPECT_EQ(host->Call("login " + kiv_test::MakeToken("carol") + " " + std::string(129, 'c'), 10s), 1);

  // The same user a second time, from another host on the same device (the hosts share
  // the Wine prefix and so the stored device id): refused, force or not.
  ASSERT_NO_FATAL_FAILURE(LogIn(*host, "carol"));
  auto second = StartHost("second", kiv_test::kTestApp, server.address());
  ASSERT_NO_FATAL_FAILURE(LogIn(*second, "carol", 34));
  EXPECT_EQ(host->Call("logout", 10s), 0);
  EXPECT_EQ(second->Finish(20s), 0) << second->Transcript();

  auto stranger = StartHost("stranger", "nosuchapp9", server.address());
  ASSERT_EQ(stranger->Call("login " + kiv_test::MakeToken("dave", "nosuchapp9") + " dave", 10s), 0);
  EXPECT_TRUE(stranger->ExpectLine("event 3 33", 20s)) << stranger->Transcript();
  EXPECT_EQ(stranger->Finish(20s), 0) << stranger->Transcript();

  auto lonely = StartHost("lonely", kiv_test::kTestApp, "127.0.0.1:" + std::to_string(kiv_test::UnusedPort()));
  ASSERT_NO_FATAL_FAILURE(LogIn(*lonely, "erin", 30));
  EXPECT_EQ(lonely->Finish(20s), 0) << lonely->Transcript();

  // Nothing followed the refused ids.
  EXPECT_FALSE(host->Expect([](const std::string& l) { return StartsWith(l, "event 3"); }, 500ms))
      << host->Transcript();
  EXPECT_EQ(host->Finish(20s), 0) << host->Transcript();
  EXPECT_TRUE(server.Alive());
}

// The server dies mid-meeting: each host gets one connection-lost event, its engine leaves
// and logs out on the message-window thread, nothing crashes; once the server is back both
// log in and meet again.
TEST_F(CpIntegrationTest, ServerKilledMidMeeting) {
  auto alice = StartHost("alice", kiv_test::kTestApp, server.address());
  auto bob = StartHost("bob", kiv_test::kTestApp, server.address());
  ASSERT_NO_FATAL_FAILURE(LogIn(*alice, "alice"));
  ASSERT_NO_FATAL_FAILURE(LogIn(*bob, "bob"));
  ASSERT_NO_FATAL_FAILURE(Join(*alice, "room-9", "alice"));
  ASSERT_NO_FATAL_FAILURE(Join(*bob, "room-9", "bob"));
  EXPECT_TRUE(alice->ExpectLine("user bob 0", 20s)) << alice->Transcript();

  server.Kill();
  for (WineHost* host : {alice.get(), bob.get()}) {
    EXPECT_TRUE(host->ExpectLine("event 1 30", 30s)) << host->Transcript();
    EXPECT_TRUE(host->ExpectLine("task", 10s)) << host->Transcript();
    // The posted leave-and-logout has run: the connection is logged out and stays so.
    EXPECT_EQ(host->Call("status", 10s), 0) << host->Transcript();
  }

  ASSERT_TRUE(server.Restart());
  EXPECT_EQ(alice->Call("status", 10s), 0) << "logged out, so no reconnection";
  ASSERT_NO_FATAL_FAILURE(LogIn(*alice, "alice"));
  ASSERT_NO_FATAL_FAILURE(LogIn(*bob, "bob"));
  ASSERT_NO_FATAL_FAILURE(Join(*alice, "room-9", "alice"));
  ASSERT_NO_FATAL_FAILURE(Join(*bob, "room-9", "bob"));
  EXPECT_TRUE(alice->ExpectLine("user bob 0", 20s)) << alice->Transcript();
  EXPECT_FALSE(alice->HasLine("event 1 30")) << "one connection-lost event per login";
  EXPECT_EQ(alice->Finish(20s), 0) << alice->Transcript();
  EXPECT_EQ(bob->Finish(20s), 0) << bob->Transcript();
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_hostPath = kiv_test::OptionValue(argc, argv, "host");
  return RUN_ALL_TESTS();
}
