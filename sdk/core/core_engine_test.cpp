// Runs beside the built Tessarine32.dll; most cases put a scripted connection into the core
// environment instead of the framework's.
#include "core/core_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/control/kiv_cp_client.h"
#include "core/control/testing/scripted_connection.h"
#include "core/control/win_http_impl.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "kiv_error.h"
#include "tessarine_test_hooks.h"

using kiv_core::CoreEngine;
using kiv_core::CoreEnv;
using kiv_core::ERR_FAILED;
using kiv_core::ERR_INVALID_PARAM;
using kiv_core::ERR_OK;

namespace {

struct Reports : kiv_core::EngineEventHandler {
  void OnEvent(int type, int code) override {
    lines.push_back("event " + std::to_string(type) + " " + std::to_string(code));
  }
  void OnRemoteVideoEvent(const std::string&, const std::string&, int) override {}
  void OnRemoteAudioEvent(const std::string&, const std::string&, int) override {}
  void OnRemoteControl(const std::string& user, int op) override {
    lines.push_back("control " + user + " " + std::to_string(op));
  }
  void OnGroupListSync(const avcore::FwVector<avcore::FwString>&) override {}
  void OnRemoteUserJoined(const char* user) override { lines.push_back(std::string("joined ") + user); }
  void OnRemoteUserLeft(const char* user) override { lines.push_back(std::string("left ") + user); }
  void OnCoreNotice(int, int) override {}
  void PostTask(const std::function<void()>& task) override { tasks.push_back(task); }
  HWND GetPreviewRenderWindow(HWND window) override { return window; }
  void ReleasePreviewRenderWindow(HWND) override {}
  std::vector<std::string> lines;
  std::vector<std::function<void()>> tasks;
};

// A core engine whose environment holds a scripted connection, as if Init had run.
struct CoreEngineTest : ::testing::Test {
  CoreEngineTest() {
    CoreEnv* env = CoreEnv::Instance();
    env->m_connection.Attach(&connection);
    env->m_baseCoreInited = true;
    env->m_config.eventHandler = &reports;
    env->m_config.httpClient = &http;
    env->m_config.appId = "App01";
    core.GetCpClient()->Init();
    connection.ClearCalls();
  }
  ~CoreEngineTest() override {
    core.Destory();
    CoreEnv* env = CoreEnv::Instance();
    (void)env->m_connection.Detach();
    env->m_baseCoreInited = false;
  }
  kiv_test::ScriptedConnection connection;
  Reports reports;
  kiv::WinHttpImpl http;
  CoreEngine core;
};

std::string Repeat(char c, size_t n) { return std::string(n, c); }

}  // namespace

// Only letters, digits, '_' and '-' make an id; the empty id passes the character test.
TEST(CoreEngineIdTest, ValidIds) {
  EXPECT_TRUE(CoreEngine::IsValidId(""));
  EXPECT_TRUE(CoreEngine::IsValidId("a_-1Z"));
  for (const char* bad : {"a b", "a@b", "a.b", "{id}", "\xe4\xbd\xa0", "a\tb", "a/b", "a:b"})
    EXPECT_FALSE(CoreEngine::IsValidId(bad)) << bad;
}

// A user id of up to 128 allowed characters reaches the connection; a longer one, one with
// other characters or an empty device id never does.
TEST_F(CoreEngineTest, LoginChecksBeforeTheConnection) {
  EXPECT_EQ(core.Login("{DEV}", "t", Repeat('u', 129), true, ""), ERR_INVALID_PARAM);
  EXPECT_EQ(core.Login("{DEV}", "t", "a b", true, ""), ERR_INVALID_PARAM);
  EXPECT_EQ(core.Login("{DEV}", "t", "a@b", true, ""), ERR_INVALID_PARAM);
  EXPECT_EQ(core.Login("{DEV}", "t", "", true, ""), ERR_INVALID_PARAM);
  EXPECT_EQ(core.Login("", "t", "a", true, ""), ERR_INVALID_PARAM);
  EXPECT_TRUE(connection.Calls().empty());

  EXPECT_EQ(core.Login("{DEV}", "t", Repeat('u', 128), true, ""), ERR_OK);
  EXPECT_EQ(core.Login("{DEV}", "t", "a_-1", false, "x"), ERR_OK);
  const std::vector<std::string> calls = connection.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], "Login |App01|t|{DEV}||a_-1|windows|x|0|1");
  EXPECT_EQ(core.GetCpClient()->GetUserId(), "a_-1");
}

// A group id with other characters is refused before anything else; the empty id reaches
// the control-plane client, which refuses it.
TEST_F(CoreEngineTest, JoinGroupChecks) {
  EXPECT_EQ(core.JoinGroup("g 1"), ERR_INVALID_PARAM);
  EXPECT_EQ(core.JoinGroup(""), ERR_INVALID_PARAM);
  EXPECT_TRUE(connection.Calls().empty());
  EXPECT_EQ(core.JoinGroup("g-1"), ERR_OK);
  connection.joinResult = 36;
  EXPECT_EQ(core.JoinGroup("g-2"), 34);
  EXPECT_EQ(connection.Calls(), (std::vector<std::string>{"JoinGroup g-1", "JoinGroup g-2"}));
  EXPECT_EQ(core.LeaveGroup(), ERR_OK);
  EXPECT_EQ(core.Logout(), ERR_OK);
  EXPECT_EQ(connection.Calls().back(), "Logout");
}

// A lost connection posts leave-and-logout; nothing happens on the reporting thread. Two
// losses post two tasks, each of which leaves and logs out.
TEST_F(CoreEngineTest, ConnectionLossPostsLeaveAndLogout) {
  ASSERT_EQ(connection.listener, static_cast<avcore::IKivConnectionListener*>(core.GetCpClient()));
  EXPECT_EQ(connection.listener->OnReconnectStart(), 2);
  connection.listener->OnLogouted(34);
  EXPECT_EQ(reports.lines, (std::vector<std::string>{"event 1 30", "event 1 34"}));
  EXPECT_TRUE(connection.Calls().empty());
  ASSERT_EQ(reports.tasks.size(), 2u);

  reports.tasks[0]();
  EXPECT_EQ(connection.Calls(), (std::vector<std::string>{"LeaveGroup", "Logout"}));
  reports.tasks[1]();
  EXPECT_EQ(connection.Calls(), (std::vector<std::string>{"LeaveGroup", "Logout", "LeaveGroup", "Logout"}));
}

// Remote users reach the engine handler as joined and left.
TEST_F(CoreEngineTest, RemoteUsers) {
  connection.listener->OnRemoteUserJoined("peer");
  connection.listener->OnRemoteUserLeft("peer");
  EXPECT_EQ(reports.lines, (std::vector<std::string>{"joined peer", "left peer"}));
}

// Teardown unregisters the control-plane client, then ends the login, which would otherwise
// go on using the client lent to it; a second teardown is harmless.
TEST_F(CoreEngineTest, DestoryUnregistersAndLogsOut) {
  ASSERT_EQ(core.Login("{DEV}", "t", "alice", true, ""), ERR_OK);
  connection.ClearCalls();
  core.Destory();
  std::vector<std::string> calls = connection.Calls();
  ASSERT_GE(calls.size(), 3u);
  calls.erase(calls.begin(), calls.end() - 3);  // the whiteboard's business goes first
  EXPECT_EQ(calls, (std::vector<std::string>{"RemoveListener", "RemoveBusiness", "Logout"}));
  core.Destory();
  EXPECT_EQ(connection.listener, nullptr);
  EXPECT_EQ(connection.business, nullptr);
}

// Init refuses a null handler or HTTP client and an app id with other characters than
// letters and digits, before the framework is loaded.
TEST(CoreEngineInitTest, RefusesBadConfig) {
  Reports reports;
  kiv::WinHttpImpl http;
  CoreEngine core;
  kiv_core::EngineConfig config;
  config.appId = "App01";
  config.httpClient = &http;
  EXPECT_EQ(core.Init(config), ERR_INVALID_PARAM);
  config.eventHandler = &reports;
  config.httpClient = nullptr;
  EXPECT_EQ(core.Init(config), ERR_INVALID_PARAM);
  config.httpClient = &http;
  config.appId = "App_01";
  EXPECT_EQ(core.Init(config), ERR_INVALID_PARAM);
  EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
}

// With the stand-in framework Init succeeds and registers the control-plane client; when the
// media network refuses to start, Init gives 302 and the framework is released again with
// nothing of it left alive.
TEST(CoreEngineInitTest, FrameworkStartAndRollback) {
  Reports reports;
  kiv::WinHttpImpl http;
  kiv_core::EngineConfig config;
  config.eventHandler = &reports;
  config.httpClient = &http;
  config.appId = "aB3";
  config.workDir = ".";
  {
    CoreEngine core;
    ASSERT_EQ(core.Init(config), ERR_OK);
    EXPECT_TRUE(CoreEnv::IsBaseCoreInited());
    EXPECT_EQ(CoreEnv::Instance()->m_cpclient, core.GetCpClient());
    core.Destory();
  }
  EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);

  SetEnvironmentVariableW(tessarine_test::kFailVariable, L"IAvNet.Initialize");
  SetEnvironmentVariableW(tessarine_test::kLiveObjectsAtUnloadVariable, nullptr);
  {
    CoreEngine core;
    EXPECT_EQ(core.Init(config), ERR_FAILED);
    EXPECT_FALSE(CoreEnv::IsBaseCoreInited());
    EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
    wchar_t live[16] = {0};
    GetEnvironmentVariableW(tessarine_test::kLiveObjectsAtUnloadVariable, live, 16);
    EXPECT_STREQ(live, L"0") << "every framework object was given back";
    EXPECT_EQ(CoreEnv::Instance()->m_config.appId, "aB3");
  }
  SetEnvironmentVariableW(tessarine_test::kFailVariable, nullptr);
}
