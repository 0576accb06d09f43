// Runs beside the built Tessarine32.dll (the host program's folder is searched first).
#include "core/env/core_env.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text/text_holders.h"
#include "core/env/framework_loader.h"
#include "core/env/fw_std_lib.h"
#include "core/env/log_record.h"
#include "core/env/testing/log_files.h"
#include "tessarine_test_hooks.h"
#include "testing/temp_dir.h"

using namespace kiv_core;

namespace {

std::wstring UnloadCount() {
  wchar_t value[32] = {0};
  if (!GetEnvironmentVariableW(tessarine_test::kLiveObjectsAtUnloadVariable, value, 32)) return L"";
  return value;
}

std::string ConfigValue(const char* key) {
  auto get = tessarine_test::Export<tessarine_test::GetConfigProc>(GetModuleHandleW(L"Tessarine32.dll"),
                                                                   tessarine_test::kGetConfig);
  if (!get) return "<no framework>";
  char value[64] = {0};
  return get(key, value, sizeof(value)) >= 0 ? value : "<unset>";
}

// A connection that reports a fixed state.
struct FakeConnection : avcore::IKivConnection {
  int32_t status = 0;
  HRESULT AVCORE_CALL QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AVCORE_CALL AddRef() override { return 1; }
  ULONG AVCORE_CALL Release() override { return 1; }
  HRESULT AVCORE_CALL SetListener(avcore::IKivConnectionListener*) override { return S_OK; }
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivConnectionListener*) override { return S_OK; }
  HRESULT AVCORE_CALL AddBusiness(avcore::IKivBusinessBase*) override { return S_OK; }
  HRESULT AVCORE_CALL RemoveBusiness(avcore::IKivBusinessBase*) override { return S_OK; }
  HRESULT AVCORE_CALL QueryBusiness(REFIID, void**) override { return E_NOINTERFACE; }
  HRESULT AVCORE_CALL Login(const char*, avcore::IKivHttpClient*, const char*, const char*, const char*, const char*,
                            const char*, const char*, const char*, int32_t, int32_t) override {
    return S_OK;
  }
  HRESULT AVCORE_CALL Logout() override { return S_OK; }
  HRESULT AVCORE_CALL JoinGroup(const char*) override { return S_OK; }
  HRESULT AVCORE_CALL LeaveGroup() override { return S_OK; }
  int32_t AVCORE_CALL GetStatus() override { return status; }
  HRESULT AVCORE_CALL SendBusinessCmd(const rapidjson::Value&) override { return S_OK; }
};

struct CoreEnvTest : ::testing::Test {
  void SetUp() override {
    SetEnvironmentVariableW(tessarine_test::kFailVariable, nullptr);
    SetEnvironmentVariableW(tessarine_test::kLogLevelVariable, nullptr);
    SetEnvironmentVariableW(tessarine_test::kLiveObjectsAtUnloadVariable, nullptr);
    logDir = temp.Sub(L"log");
  }
  void TearDown() override {
    env.ReleaseBaseCore();
    SetEnvironmentVariableW(tessarine_test::kFailVariable, nullptr);
    SetEnvironmentVariableW(tessarine_test::kLogLevelVariable, nullptr);
  }
  bool Create() { return env.CreateBaseCore("", WideToUtf8(temp.Path().c_str()).Get(), ""); }
  void ExpectNothingHeld() {
    EXPECT_FALSE(CoreEnv::IsBaseCoreInited());
    EXPECT_EQ(env.m_basecore.get(), nullptr);
    EXPECT_EQ(env.m_logcenter.get(), nullptr);
    EXPECT_EQ(env.m_configcenter.get(), nullptr);
    EXPECT_EQ(env.m_sessionmanager.get(), nullptr);
    EXPECT_EQ(env.m_audiodevice.get(), nullptr);
    EXPECT_EQ(env.m_video_rendermanager.get(), nullptr);
    EXPECT_EQ(env.m_connection.get(), nullptr);
    EXPECT_EQ(env.m_avnet.get(), nullptr);
    EXPECT_EQ(env.m_vnc_rendermanager.get(), nullptr);
    EXPECT_EQ(env.m_devmanager.get(), nullptr);
    EXPECT_EQ(CoreLogger().handle, 0u);
    EXPECT_FALSE(IsFrameworkLoaded());
    EXPECT_EQ(GetModuleHandleW(L"Tessarine32.dll"), nullptr);
  }
  kiv_test::TempDir temp;
  std::wstring logDir;
  CoreEnv env;
};

}  // namespace

// Bring-up holds every component, writes the configuration keys and logs under "kivcore"
// with the source file's base name and line; teardown gives every object back and unloads.
TEST_F(CoreEnvTest, BringUpAndTearDown) {
  ASSERT_TRUE(Create());
  EXPECT_TRUE(CoreEnv::IsBaseCoreInited());
  EXPECT_NE(env.m_audiodevice.get(), nullptr);
  EXPECT_NE(env.m_devmanager.get(), nullptr);
  EXPECT_EQ(ConfigValue("avcore.trans.audioheader.v1"), "TRUE");
  EXPECT_EQ(ConfigValue("avcore.video.svc2.onoff"), "FALSE");
  EXPECT_EQ(ConfigValue("avcore.encode.svc.temporal"), "FALSE");
  EXPECT_EQ(ConfigValue("avcore.video.gpu.enc.num"), "0");
  EXPECT_EQ(ConfigValue("avcore.video.gpu.dec.num"), "0");
  // A second bring-up touches nothing.
  avcore::IBaseCore* root = env.m_basecore.get();
  EXPECT_TRUE(Create());
  EXPECT_EQ(env.m_basecore.get(), root);

  env.ReleaseBaseCore();
  ExpectNothingHeld();
  EXPECT_EQ(UnloadCount(), L"0");
  env.ReleaseBaseCore();  // a second teardown does nothing
  ExpectNothingHeld();

  const std::string log = kiv_test::ReadLogs(logDir);
  EXPECT_NE(log.find(" kivcore 2 core_env.cpp:"), std::string::npos) << log;
  EXPECT_NE(log.find("CreateBaseCore success. avcirever: 3.19.4.m_B00469_win32, sdkver: 2.1.0.0"), std::string::npos);
  EXPECT_NE(log.find("CreateBaseCore has been done."), std::string::npos);
}

// Every step of the bring-up, failed on purpose, rolls everything back.
TEST_F(CoreEnvTest, EachFailedStepRollsBack) {
  for (const wchar_t* step :
       {L"PMDll", L"Init", L"GetObject", L"ILogCenter", L"IConfigCenter", L"ISessionManager", L"IAudioDevice",
        L"IVideoRenderManager", L"IKivConnection", L"IAvNet", L"IVncRenderManager", L"IAVEnv", L"IAVDevManager"}) {
    SCOPED_TRACE(testing::Message() << WideToUtf8(step).Get());
    SetEnvironmentVariableW(tessarine_test::kFailVariable, step);
    SetEnvironmentVariableW(tessarine_test::kLiveObjectsAtUnloadVariable, nullptr);
    EXPECT_FALSE(Create());
    ExpectNothingHeld();
    EXPECT_EQ(UnloadCount(), L"0");
  }
  // The first failing step after the logger exists leaves its line in the log.
  EXPECT_NE(kiv_test::ReadLogs(logDir).find("CreateComponent for m_audiodevice failed."), std::string::npos);
}

// Steps that may fail do not stop the bring-up; without a core logger nothing is logged.
TEST_F(CoreEnvTest, OptionalStepsMayFail) {
  SetEnvironmentVariableW(tessarine_test::kFailVariable, L"IScreenRecorder");
  EXPECT_TRUE(Create());
  env.ReleaseBaseCore();

  SetEnvironmentVariableW(tessarine_test::kFailVariable, L"ILogCenter.CreateLogger");
  const size_t before = kiv_test::ReadLogs(logDir).size();
  EXPECT_TRUE(Create());
  EXPECT_EQ(CoreLogger().handle, 0u);
  EXPECT_EQ(env.m_logcenter.get(), nullptr);
  KIV_LOG("not written");
  env.ReleaseBaseCore();
  EXPECT_EQ(UnloadCount(), L"0");
  EXPECT_EQ(kiv_test::ReadLogs(logDir).find("kivcore", before), std::string::npos);
}

// A module level that does not admit level 2 writes nothing.
TEST_F(CoreEnvTest, LevelAboveTwoWritesNothing) {
  SetEnvironmentVariableW(tessarine_test::kLogLevelVariable, L"kivcore=3");
  ASSERT_TRUE(Create());
  EXPECT_NE(CoreLogger().handle, 0u);
  KIV_LOG("suppressed line %d", 1);
  env.ReleaseBaseCore();
  EXPECT_EQ(kiv_test::ReadLogs(logDir).find(" kivcore "), std::string::npos);
}

// Connected means state 2 or later; logged in means exactly state 3, not 4.
TEST_F(CoreEnvTest, ConnectionStates) {
  FakeConnection connection;
  env.m_connection.Attach(&connection);
  const struct {
    int32_t status;
    bool connected;
    bool logined;
  } cases[] = {{0, false, false}, {1, false, false}, {2, true, false}, {3, true, true}, {4, true, false}};
  for (const auto& c : cases) {
    connection.status = c.status;
    EXPECT_EQ(CoreEnv::IsConnected(), c.connected) << c.status;
    EXPECT_EQ(CoreEnv::IsLogined(), c.logined) << c.status;
  }
  (void)env.m_connection.Detach();
  EXPECT_FALSE(CoreEnv::IsConnected());
}

// The module loggers of other modules share the log centre and give it back with their
// last user; a null out pointer is refused.
TEST_F(CoreEnvTest, ModuleLoggers) {
  ASSERT_TRUE(Create());
  avcore::ILogManager* manager = nullptr;
  avcore::LoggerHandle handle = 0;
  EXPECT_EQ(CreateModuleLogger(env.m_basecore.get(), "kiv_wb", 1, nullptr, &handle), E_FAIL);
  EXPECT_EQ(CreateModuleLogger(nullptr, "kiv_wb", 1, &manager, &handle), E_FAIL);
  ASSERT_EQ(CreateModuleLogger(env.m_basecore.get(), "kiv_wb", 1, &manager, &handle), S_OK);
  avcore::ILogManager* manager2 = nullptr;
  avcore::LoggerHandle handle2 = 0;
  ASSERT_EQ(CreateModuleLogger(env.m_basecore.get(), "kiv_wb2", 1, &manager2, &handle2), S_OK);
  ModuleLogger wb{manager, handle};
  KIV_LOG_TO(wb, "whiteboard line");
  EXPECT_EQ(ReleaseModuleLogger(handle), S_OK);
  EXPECT_EQ(ReleaseModuleLogger(handle2), S_OK);
  EXPECT_EQ(ReleaseModuleLogger(handle2), S_OK);  // nothing cached any more
  SetEnvironmentVariableW(tessarine_test::kFailVariable, L"ILogCenter.CreateLogger");
  EXPECT_EQ(CreateModuleLogger(env.m_basecore.get(), "kiv_wb", 1, &manager, &handle), E_INVALIDARG);
  EXPECT_EQ(manager, nullptr);
  SetEnvironmentVariableW(tessarine_test::kFailVariable, nullptr);
  env.ReleaseBaseCore();
  EXPECT_EQ(UnloadCount(), L"0");
  EXPECT_NE(kiv_test::ReadLogs(logDir).find(" kiv_wb 2 core_env_test.cpp:"), std::string::npos);
}

// Memory that crosses into the framework comes from the loaded framework's allocator, and
// from the C runtime while no framework is loaded.
TEST_F(CoreEnvTest, StandardLibraryBinding) {
  EXPECT_FALSE(FwStdLibLoad());
  void* early = FwStdMalloc(16);
  ASSERT_NE(early, nullptr);
  FwStdFree(early);
  ASSERT_TRUE(Create());
  EXPECT_TRUE(FwStdLibLoad());
  {
    avcore::FwVector<avcore::FwString> ids;
    ids.push_back(avcore::FwString("user-1"));
    ids.push_back(ids[0]);
    EXPECT_STREQ(ids[1].c_str(), "user-1");
  }
  char buffer[4] = "abc";
  FwStdMemCpy(buffer, nullptr, 3);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(FwStdStrLen(nullptr), 0u);
  EXPECT_EQ(FwStdStrLen("four"), 4u);
  env.ReleaseBaseCore();
  EXPECT_FALSE(FwStdLibLoad());
  EXPECT_EQ(UnloadCount(), L"0");
}
