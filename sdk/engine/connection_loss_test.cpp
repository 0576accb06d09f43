// The whole road of a lost connection through the engine, with the stand-in framework for
// start-up and a scripted connection in place of its control-plane connection.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/control/kiv_cp_client.h"
#include "core/control/testing/scripted_connection.h"
#include "core/env/core_env.h"
#include "engine/kiv_engine_impl.h"
#include "kiv_exports.h"
#include "testing/ui_thread.h"

namespace {

struct Recorder : kiv::IKivEngineEventHandler {
  void OnDeviceChange(int) override {}
  void OnEvent(int type, int code) override { events.push_back({type, code}); }
  void OnRemoteVideoEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteAudioEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteControlEvent(const kiv::String&, int) override {}
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>&) override {}
  void OnRemoteUserEvent(const char* user, int state) override {
    users.push_back(std::string(user) + "/" + std::to_string(state));
  }
  std::vector<std::pair<int, int>> events;
  std::vector<std::string> users;
};

struct ConnectionLossTest : ::testing::Test {
  void SetUp() override {
    engine = static_cast<kiv::KivEngineImpl*>(KivGetEngine());
    kiv::EngineContext context;
    context.handler = &recorder;
    context.appId = "App01";
    context.serverAddress = "127.0.0.1:9";
    int result = -1;
    ui.Run([&] { result = engine->Init(&context); });
    ASSERT_EQ(result, 0);
    // The framework's connection makes way for the scripted one.
    kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
    env->m_connection.Attach(&connection);
    engine->Core()->GetCpClient()->Init();
    connection.ClearCalls();
  }
  void TearDown() override {
    ui.Run([] { KivReleaseEngine(); });
  }

  // Raises a connection callback on a thread of its own, as the framework does.
  template <class F>
  void FromFrameworkThread(F callback) {
    std::thread([&] { callback(connection.listener); }).join();
  }

  kiv_test::UiThread ui;
  Recorder recorder;
  kiv_test::ScriptedConnection connection;
  kiv::KivEngineImpl* engine = nullptr;
};

}  // namespace

// A user id with other characters never reaches the connection; a valid one does.
TEST_F(ConnectionLossTest, UserIdCheckedBeforeTheFramework) {
  EXPECT_EQ(engine->Login("001tok", "a b", true, ""), 1);
  EXPECT_EQ(engine->Login("001tok", "a\xe4\xbd\xa0", true, ""), 1);
  EXPECT_EQ(engine->Login("001tok", std::string(129, 'a').c_str(), true, ""), 1);
  EXPECT_TRUE(connection.Calls().empty());
  EXPECT_EQ(engine->Login("001tok", "alice", true, ""), 0);
  ASSERT_EQ(connection.Calls().size(), 1u);
  EXPECT_EQ(connection.Calls()[0].rfind("Login 127.0.0.1:9|App01|001tok|", 0), 0u);
}

// A lost link reaches the application once; leaving and logging out run on the Init thread,
// once per report.
TEST_F(ConnectionLossTest, LeaveAndLogoutOnTheInitThread) {
  ASSERT_EQ(engine->Login("001tok", "alice", true, ""), 0);
  ASSERT_EQ(engine->JoinGroup("room"), 0);
  FromFrameworkThread([](avcore::IKivConnectionListener* l) { l->OnLoginResult(0, "alice", ""); });
  FromFrameworkThread([](avcore::IKivConnectionListener* l) { l->OnJoinGroupResult(0, "room"); });
  connection.ClearCalls();

  int32_t answer = 0;
  FromFrameworkThread([&](avcore::IKivConnectionListener* l) { answer = l->OnReconnectStart(); });
  EXPECT_EQ(answer, 2);
  FromFrameworkThread([](avcore::IKivConnectionListener* l) { l->OnLogouted(301); });
  EXPECT_EQ(recorder.events, (std::vector<std::pair<int, int>>{{3, 0}, {0, 0}, {1, 30}}));

  ASSERT_TRUE(ui.Drain());
  EXPECT_EQ(connection.Calls(), (std::vector<std::string>{"LeaveGroup", "Logout", "LeaveGroup", "Logout"}));
  EXPECT_EQ(connection.leaveThread, ui.Id());
  EXPECT_EQ(connection.logoutThread, ui.Id());

  // A new login lets the next loss through again.
  ASSERT_EQ(engine->Login("001tok", "alice", true, ""), 0);
  FromFrameworkThread([](avcore::IKivConnectionListener* l) { l->OnReconnectFail(36, "{X}"); });
  EXPECT_EQ(recorder.events.back(), (std::pair<int, int>{1, 34}));
}

// Remote users arrive as joined (0) and left (1).
TEST_F(ConnectionLossTest, RemoteUsers) {
  FromFrameworkThread([](avcore::IKivConnectionListener* l) {
    l->OnRemoteUserJoined("bob");
    l->OnRemoteUserLeft("bob");
  });
  EXPECT_EQ(recorder.users, (std::vector<std::string>{"bob/0", "bob/1"}));
}
